#pragma once

#include <cstdint>
#include <initializer_list>

namespace services {

enum class TBackupOption {
  IgnoreChecksums,
  IgnoreLimbo,
  MetadataOnly,
  NoGarbageCollection,
  OldMetadataDesc,
  NonTransportable,
  ConvertExtTables,
};

// A set of backup options.
class TBackupOptions {
 public:
  constexpr TBackupOptions() = default;
  constexpr TBackupOptions(std::initializer_list<TBackupOption> options) {
    for (TBackupOption option : options)
      Include(option);
  }

  constexpr bool Contains(TBackupOption option) const { return (bits_ & Bit(option)) != 0; }
  constexpr void Include(TBackupOption option) { bits_ |= Bit(option); }
  constexpr void Exclude(TBackupOption option) { bits_ &= ~Bit(option); }
  constexpr bool Empty() const { return bits_ == 0; }
  // The options word of a backup request. Each option's server flag is its bit in declaration order
  // (IgnoreChecksums 0x01 ... ConvertExtTables 0x40).
  constexpr std::uint32_t Word() const { return bits_; }
  constexpr bool operator==(const TBackupOptions&) const = default;

 private:
  static constexpr std::uint32_t Bit(TBackupOption option) { return 1u << static_cast<unsigned>(option); }

  std::uint32_t bits_ = 0;
};

}  // namespace services

#pragma once

#include <string>

namespace platform {

// How moving a file out of a private folder came out.
enum class MoveOutcome {
  Moved,
  NameTaken,  // something stands under the destination's name: it was left as it is, and so was the file
  Failed,
};

// A folder of one job's own, made inside a folder that others may write: its name cannot be foreseen when
// it is made, and only its owner and the account it was made for may enter it, so no one else can put a
// link or a file at a name used in it. When the object goes, whatever is left in it is unlinked (a link
// itself, never what it points to) and the folder removed, unless Keep() was called; a folder put in its
// place under its name meanwhile is left alone.
class PrivateFolder {
 public:
  virtual ~PrivateFolder() = default;
  // The folder's path, ending with its separator.
  virtual const std::string& Path() const = 0;
  // Its own name, without the folder it lies in.
  virtual const std::string& Name() const = 0;
  // Moves this folder's entry `name` to destination (a path outside it) and replaces nothing: a name taken
  // there stays as it is. The entry is the one in this folder even if its name was changed meanwhile.
  virtual MoveOutcome MoveOut(const std::string& name, const std::string& destination) = 0;
  // Leaves the folder and what it holds where they are.
  virtual void Keep() = 0;
};

}  // namespace platform

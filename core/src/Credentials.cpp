#include "core/Credentials.h"

#include <algorithm>

#include "core/TextEncoding.h"
#include "platform/Wipe.h"

namespace core {
namespace {

constexpr const char* kFileName = "credenciais";
// Four short lines and a few comments; anything larger is not such a file.
constexpr std::size_t kMaxBytes = 64 * 1024;
constexpr const char* kDefaultUser = "SYSDBA";

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
    text.remove_suffix(1);
  return text;
}

std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return lower;
}

// A pair as the file gives it: the first of each key wins, as with the desktop's profile functions.
struct PairLines {
  std::optional<std::string_view> user;
  std::optional<std::string_view> password;
};

std::optional<ServerLogin> LoginOf(const PairLines& lines) {
  const std::string_view user = Trimmed(lines.user.value_or(""));
  const std::string_view password = lines.password.value_or("");
  if (user.empty() && password.empty()) return std::nullopt;
  return ServerLogin{user.empty() ? kDefaultUser : std::string(user), SecretText(std::string(password))};
}

ServerLogin CopyOf(const ServerLogin& login) {
  return ServerLogin{login.user, SecretText(std::string(login.password.View()))};
}

}  // namespace

Credentials ParseCredentials(std::string_view bytes) {
  const SecretText text(DecodeFileText(bytes));
  std::string_view rest = text.View();
  if (rest.starts_with("\xEF\xBB\xBF")) rest.remove_prefix(3);
  PairLines service;
  PairLines database;
  PairLines ignored;
  PairLines* pair = &service;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    const std::string_view trimmed = Trimmed(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') continue;
    if (trimmed.front() == '[' && trimmed.back() == ']') {
      const std::string section = AsciiLower(Trimmed(trimmed.substr(1, trimmed.size() - 2)));
      pair = section == "servico" || section == "servi\xC3\xA7o" ? &service
             : section == "banco"                                ? &database
                                                                 : &ignored;
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string key = AsciiLower(Trimmed(line.substr(0, equals)));
    const std::string_view value = line.substr(equals + 1);
    if ((key == "usuario" || key == "usu\xC3\xA1rio") && !pair->user) pair->user = value;
    if (key == "senha" && !pair->password) pair->password = value;
  }
  Credentials credentials;
  credentials.service = LoginOf(service);
  credentials.database = LoginOf(database);
  if (!credentials.database && credentials.service) credentials.database = CopyOf(*credentials.service);
  if (!credentials.service && credentials.database) credentials.service = CopyOf(*credentials.database);
  return credentials;
}

std::string CredentialsPath(const std::string& programFolder, platform::Files& files,
                            platform::Environment& environment) {
  if (const std::optional<std::string> handedIn = environment.Variable("CREDENTIALS_DIRECTORY");
      handedIn && !handedIn->empty()) {
    const std::string path = *handedIn + "/" + kFileName;
    if (files.Exposure(path)) return path;
  }
  return programFolder + kFileName;
}

CredentialsRead ReadCredentials(const std::string& programFolder, platform::Files& files,
                                platform::Environment& environment) {
  CredentialsRead read;
  const std::string path = CredentialsPath(programFolder, files, environment);
  const std::optional<platform::FileExposure> exposure = files.Exposure(path);
  if (!exposure) return read;
  if (exposure->othersMayRead || exposure->othersMayWrite) {
    read.problem = "O arquivo de credenciais " + path +
                   " foi recusado: outros usuários podem lê-lo ou alterá-lo. Deixe-o só para o dono e o "
                   "grupo (chmod 640); nada foi enviado ao servidor.";
    return read;
  }
  std::optional<std::string> bytes = files.ReadFile(path, kMaxBytes + 1);
  if (!bytes) {
    read.problem = "O arquivo de credenciais " + path +
                   " não pôde ser lido: este usuário não tem permissão de leitura (no pacote, ele precisa "
                   "pertencer ao grupo kelmora-backup); nada foi enviado ao servidor.";
    return read;
  }
  const SecretText contents(std::move(*bytes));
  platform::WipeString(*bytes);
  if (contents.View().size() > kMaxBytes) {
    read.problem = "O arquivo de credenciais " + path + " foi recusado: tem mais de 64 KB.";
    return read;
  }
  read.credentials = ParseCredentials(contents.View());
  return read;
}

}  // namespace core

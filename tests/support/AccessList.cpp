#include "tests/support/AccessList.h"

#include <acl/libacl.h>
#include <sys/acl.h>

namespace testsupport {
namespace {

std::string ListText(const std::filesystem::path& path, acl_type_t type) {
  acl_t list = acl_get_file(path.c_str(), type);
  if (list == nullptr) return {};
  char* text = acl_to_any_text(list, nullptr, ',', TEXT_ABBREVIATE | TEXT_NUMERIC_IDS);
  std::string result = text != nullptr ? text : "";
  acl_free(text);
  acl_free(list);
  return result;
}

}  // namespace

std::string AccessList(const std::filesystem::path& path) {
  return ListText(path, ACL_TYPE_ACCESS);
}

std::string DefaultAccessList(const std::filesystem::path& folder) {
  return ListText(folder, ACL_TYPE_DEFAULT);
}

}  // namespace testsupport

#include <cctype>

#include "Errors.h"
#include "FieldDefinition.h"
#include "Messages.h"
#include "TIBOQuery.h"

namespace db {

namespace {

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

enum class TypeGroup { kString, kInteger, kFloat, kDateTime, kLargeInt, kBlob, kOwn };

TypeGroup GroupOf(FieldKind type) {
  switch (type) {
    case FieldKind::String:
    case FieldKind::FixedChar:
      return TypeGroup::kString;
    case FieldKind::SmallInt:
    case FieldKind::Integer:
    case FieldKind::Word:
    case FieldKind::AutoInc:
      return TypeGroup::kInteger;
    case FieldKind::Float:
    case FieldKind::Currency:
      return TypeGroup::kFloat;
    case FieldKind::Date:
    case FieldKind::Time:
    case FieldKind::DateTime:
      return TypeGroup::kDateTime;
    case FieldKind::LargeInt:
      return TypeGroup::kLargeInt;
    case FieldKind::Blob:
    case FieldKind::Memo:
      return TypeGroup::kBlob;
    default:
      return TypeGroup::kOwn;
  }
}

bool IsNumericPair(FieldKind type) {
  return type == FieldKind::LargeInt || type == FieldKind::BCD || type == FieldKind::Float ||
         type == FieldKind::Currency;
}

constexpr int kMaxStringFromMemo = 65534;

}  // namespace

void CheckFieldBinding(const std::string& datasetName, const Field& field,
                       const FieldDefinition& definition) {
  const FieldKind wanted = field.DataType();
  const FieldKind actual = definition.DataType;
  const TypeGroup wantedGroup = GroupOf(wanted);
  if (wantedGroup != TypeGroup::kOwn ? wantedGroup == GroupOf(actual) : wanted == actual) return;
  if (wantedGroup == TypeGroup::kInteger && actual == FieldKind::LargeInt) return;
  if (wantedGroup == TypeGroup::kString && actual == FieldKind::LargeInt) return;
  if (wantedGroup == TypeGroup::kString && actual == FieldKind::Memo) {
    if (field.DataSize() <= kMaxStringFromMemo) return;
    throw EDatabaseError(datasetName,
                         messages::SizeMismatch(field.FieldName(), kMaxStringFromMemo, field.DataSize()));
  }
  if (IsNumericPair(wanted) && IsNumericPair(actual)) return;
  throw EDatabaseError(
      datasetName, messages::TypeMismatch(field.FieldName(), FieldTypeName(wanted), FieldTypeName(actual)));
}

TDataSet::TDataSet(std::string name) : name_(std::move(name)) {}

TDataSet::~TDataSet() = default;

Field* TDataSet::FindField(const std::string& fieldName) const {
  for (const auto& field : fields_) {
    if (SameName(field->FieldName(), fieldName)) return field.get();
  }
  return nullptr;
}

Field& TDataSet::FieldByName(const std::string& fieldName) const {
  Field* field = FindField(fieldName);
  if (field == nullptr) throw EDatabaseError(name_, messages::FieldNotFound(fieldName));
  return *field;
}

void TDataSet::BindFields() {
  const std::vector<FieldDefinition>& definitions = FieldDefs();
  for (const auto& field : fields_) {
    const FieldDefinition* found = nullptr;
    for (const FieldDefinition& definition : definitions) {
      if (SameName(definition.Name, field->FieldName())) {
        found = &definition;
        break;
      }
    }
    if (found == nullptr) throw EDatabaseError(name_, messages::FieldNotFound(field->FieldName()));
    CheckFieldBinding(name_, *field, *found);
    field->Bind(this, found->Column);
  }
}

void TDataSet::UnbindFields() {
  for (const auto& field : fields_)
    field->Unbind();
}

void TDataSet::Open() {
  if (active_) return;
  if (!InternalOpen()) return;
  try {
    BindFields();
    InternalFirst();
  } catch (...) {
    // A dataset that cannot bind its fields stays closed, cursor included, so it can be opened again.
    UnbindFields();
    InternalClose();
    throw;
  }
  active_ = true;
}

void TDataSet::Close() {
  if (!active_) return;
  active_ = false;
  UnbindFields();
  InternalClose();
}

}  // namespace db

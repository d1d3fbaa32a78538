#include "db/TDataSet.h"

#include <cctype>

#include "Messages.h"
#include "db/Errors.h"

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

TypeGroup GroupOf(TFieldType type) {
  switch (type) {
    case TFieldType::ftString:
    case TFieldType::ftFixedChar:
      return TypeGroup::kString;
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftWord:
    case TFieldType::ftAutoInc:
      return TypeGroup::kInteger;
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
      return TypeGroup::kFloat;
    case TFieldType::ftDate:
    case TFieldType::ftTime:
    case TFieldType::ftDateTime:
      return TypeGroup::kDateTime;
    case TFieldType::ftLargeint:
      return TypeGroup::kLargeInt;
    case TFieldType::ftBlob:
    case TFieldType::ftMemo:
      return TypeGroup::kBlob;
    default:
      return TypeGroup::kOwn;
  }
}

bool IsNumericPair(TFieldType type) {
  return type == TFieldType::ftLargeint || type == TFieldType::ftBCD || type == TFieldType::ftFloat ||
         type == TFieldType::ftCurrency;
}

constexpr int kMaxStringFromMemo = 65534;

}  // namespace

void CheckFieldBinding(const std::string& datasetName, const TField& field, const TFieldDef& definition) {
  const TFieldType wanted = field.DataType();
  const TFieldType actual = definition.DataType;
  const TypeGroup wantedGroup = GroupOf(wanted);
  if (wantedGroup != TypeGroup::kOwn ? wantedGroup == GroupOf(actual) : wanted == actual) return;
  if (wantedGroup == TypeGroup::kInteger && actual == TFieldType::ftLargeint) return;
  if (wantedGroup == TypeGroup::kString && actual == TFieldType::ftLargeint) return;
  if (wantedGroup == TypeGroup::kString && actual == TFieldType::ftMemo) {
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

TField* TDataSet::FindField(const std::string& fieldName) const {
  for (const auto& field : fields_) {
    if (SameName(field->FieldName(), fieldName)) return field.get();
  }
  return nullptr;
}

TField& TDataSet::FieldByName(const std::string& fieldName) const {
  TField* field = FindField(fieldName);
  if (field == nullptr) throw EDatabaseError(name_, messages::FieldNotFound(fieldName));
  return *field;
}

void TDataSet::BindFields() {
  const std::vector<TFieldDef>& definitions = FieldDefs();
  for (const auto& field : fields_) {
    const TFieldDef* found = nullptr;
    for (const TFieldDef& definition : definitions) {
      if (SameName(definition.Name, field->FieldName())) {
        found = &definition;
        break;
      }
    }
    if (found == nullptr) throw EDatabaseError(name_, messages::FieldNotFound(field->FieldName()));
    CheckFieldBinding(name_, *field, *found);
    field->Bind(this, *found);
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

#pragma once

// A declared field of a dataset: bound to the column of its name while the dataset is open, it
// reads that column of the current row.

#include <string>

#include "db/FieldDefinition.h"

namespace db {

class TDataSet;

class Field {
 public:
  Field(std::string fieldName, FieldKind dataType, int size);
  virtual ~Field() = default;
  Field(const Field&) = delete;
  Field& operator=(const Field&) = delete;

  const std::string& FieldName() const { return fieldName_; }
  FieldKind DataType() const { return dataType_; }
  int Size() const { return size_; }
  // Bytes the field's value takes in a record buffer.
  virtual int DataSize() const { return size_; }

  bool IsNull() const;
  // No current row (empty or closed dataset) reads as empty text / 0. AsInteger is for the integer
  // columns an integer field binds to; any other column reads 0.
  std::string AsString() const;
  int AsInteger() const;

  // Binding by the dataset when it opens and closes.
  void Bind(TDataSet* dataset, const FieldDefinition& definition);
  void Unbind();

 private:
  TDataSet* dataset_ = nullptr;
  int column_ = -1;
  std::string fieldName_;
  FieldKind dataType_;
  int size_;
};

}  // namespace db

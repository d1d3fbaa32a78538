#pragma once

// The dataset side of a query: open and close, the declared fields and their binding to the
// columns of the open dataset, and the current row the fields read.

#include <memory>
#include <string>
#include <vector>

#include "db/Field.h"
#include "db/FieldDefinition.h"

namespace db {

class TDataSet {
 public:
  explicit TDataSet(std::string name = {});
  virtual ~TDataSet();
  TDataSet(const TDataSet&) = delete;
  TDataSet& operator=(const TDataSet&) = delete;

  const std::string& Name() const { return name_; }

  void Open();
  void Close();
  bool Active() const { return active_; }

  // Declares a field; the dataset owns it. Fields can only be declared while closed.
  template <typename FieldClass>
  FieldClass& AddField(std::string fieldName, int size = 0) {
    auto field = size > 0 ? std::make_unique<FieldClass>(std::move(fieldName), size)
                          : std::make_unique<FieldClass>(std::move(fieldName));
    FieldClass& added = *field;
    fields_.push_back(std::move(field));
    return added;
  }
  const std::vector<std::unique_ptr<Field>>& Fields() const { return fields_; }
  Field* FindField(const std::string& fieldName) const;
  // Raises EDatabaseError "<name>: Field '<field>' not found" when there is none.
  Field& FieldByName(const std::string& fieldName) const;

  // The current row, as the fields read it.
  virtual bool HasCurrentRow() const = 0;
  virtual bool ColumnIsNull(int column) const = 0;
  virtual std::string ColumnAsString(int column) const = 0;
  virtual long long ColumnAsInteger(int column) const = 0;
  // The column definitions of the open (or prepared) dataset.
  virtual const std::vector<FieldDefinition>& FieldDefs() const = 0;

 protected:
  // Prepares and opens the cursor; false leaves the dataset closed without an error (the error was
  // reported and suppressed by a handler).
  virtual bool InternalOpen() = 0;
  // Reads the first row into the record buffer.
  virtual void InternalFirst() = 0;
  virtual void InternalClose() = 0;

 private:
  void BindFields();
  void UnbindFields();

  std::string name_;
  bool active_ = false;
  std::vector<std::unique_ptr<Field>> fields_;
};

// The binding rule between a declared field and a column definition. Raises EDatabaseError with the
// dataset's name in front of "Type mismatch..." or "Size mismatch...".
void CheckFieldBinding(const std::string& datasetName, const Field& field, const FieldDefinition& definition);

}  // namespace db

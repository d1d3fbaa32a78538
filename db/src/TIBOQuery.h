#pragma once

// The query as the settings source reads it: a dataset that opens a SELECT on a connection, in a
// transaction, and whose declared fields read the columns of their names in the first row. The
// statement underneath, its buffered cursor and the column definitions are this library's own.

#include <memory>
#include <string>
#include <vector>

#include "Events.h"
#include "TIBOTransaction.h"

namespace db {

class TDataSet;
class TIB_Connection;
class TIBOInternalDataset;
struct FieldDefinition;
// What a column holds, as far as a field binds to it.
enum class FieldKind : unsigned char;

// A declared field of a dataset: bound to the column of its name while the dataset is open, it reads
// that column of the current row.
class Field {
 public:
  Field(std::string fieldName, FieldKind kind, int size);
  virtual ~Field() = default;
  Field(const Field&) = delete;
  Field& operator=(const Field&) = delete;

  const std::string& FieldName() const { return fieldName_; }
  FieldKind DataType() const { return kind_; }
  int Size() const { return size_; }
  // Bytes the field's value takes in a record buffer.
  virtual int DataSize() const { return size_; }

  // No current row (an empty or closed dataset) and NULL read as empty text and 0.
  std::string AsString() const;
  int AsInteger() const;

 private:
  friend class TDataSet;
  bool IsNull() const;
  void Bind(const TDataSet* dataset, int column);
  void Unbind();

  std::string fieldName_;
  FieldKind kind_;
  int size_;
  const TDataSet* dataset_ = nullptr;
  int column_ = -1;
};

class TDataSet {
 public:
  explicit TDataSet(std::string name = {});
  virtual ~TDataSet();
  TDataSet(const TDataSet&) = delete;
  TDataSet& operator=(const TDataSet&) = delete;

  const std::string& Name() const { return name_; }

  // Opens the cursor and binds every declared field to the column of its name; a field without one,
  // or with one of another kind, fails the open and leaves the dataset closed.
  void Open();
  void Close();
  bool Active() const { return active_; }

  // Declares a field; the dataset owns it. Fields are declared while the dataset is closed.
  template <typename FieldClass>
  FieldClass& AddField(std::string fieldName, int size = 0) {
    auto field = size > 0 ? std::make_unique<FieldClass>(std::move(fieldName), size)
                          : std::make_unique<FieldClass>(std::move(fieldName));
    FieldClass& added = *field;
    fields_.push_back(std::move(field));
    return added;
  }
  // Raises "<dataset>: Field '<field>' not found" when none has the name (letter case ignored).
  Field& FieldByName(const std::string& fieldName) const;

  // A column of the current row as an integer, by its place in the result; NULL and no row read 0.
  virtual long long ColumnAsInteger(int column) const = 0;

 private:
  friend class Field;
  // The current row, as the fields read it.
  virtual bool HasCurrentRow() const = 0;
  virtual bool ColumnIsNull(int column) const = 0;
  virtual std::string ColumnAsString(int column) const = 0;
  // The column definitions of the open dataset.
  virtual const std::vector<FieldDefinition>& FieldDefs() const = 0;
  // Prepares and opens the cursor; false leaves the dataset closed without an error (the error was
  // reported and suppressed by a handler).
  virtual bool InternalOpen() = 0;
  // Reads the first row into the record buffer.
  virtual void InternalFirst() = 0;
  virtual void InternalClose() = 0;

  Field* FindField(const std::string& fieldName) const;
  void BindFields();
  void UnbindFields();

  std::string name_;
  bool active_ = false;
  std::vector<std::unique_ptr<Field>> fields_;
};

// A dataset that reads its rows through a buffered cursor of its own, named "IBOqr" and the
// dataset's name.
class TIBODataset : public TDataSet {
 public:
  explicit TIBODataset(std::string name = {});
  ~TIBODataset() override;

  void SetIB_Connection(TIB_Connection* connection);
  void SetIB_Transaction(TIBOTransaction* transaction);
  void SetSQL(TextLines lines);

  long long ColumnAsInteger(int column) const override;

  TIBOInternalDataset& InternalDataset() { return *internal_; }

 private:
  bool HasCurrentRow() const override { return Active() && hasRow_; }
  bool ColumnIsNull(int column) const override;
  std::string ColumnAsString(int column) const override;
  const std::vector<FieldDefinition>& FieldDefs() const override;
  bool InternalOpen() override;
  void InternalFirst() override;
  void InternalClose() override;

  std::unique_ptr<TIBOInternalDataset> internal_;
  bool hasRow_ = false;
};

// The query component of the main window is the dataset itself.
using TIBOQuery = TIBODataset;

}  // namespace db

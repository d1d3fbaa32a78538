#pragma once

// A dataset that reads its rows through an internal buffered cursor on a database connection.

#include <string>

#include "db/TDataSet.h"
#include "db/TIBOInternalDataset.h"

namespace db {

class TIB_Connection;
class TIB_Transaction;

class TIBODataset : public TDataSet {
 public:
  explicit TIBODataset(std::string name = {});
  ~TIBODataset() override;

  TIB_Connection* IB_Connection() const { return internal_.IB_Connection(); }
  void SetIB_Connection(TIB_Connection* connection) { internal_.SetIB_Connection(connection); }
  TIB_Transaction* IB_Transaction() const { return internal_.IB_Transaction(); }
  void SetIB_Transaction(TIB_Transaction* transaction) { internal_.SetIB_Transaction(transaction); }

  const TextLines& SQL() const { return internal_.SQL(); }
  void SetSQL(TextLines lines) { internal_.SetSQL(std::move(lines)); }

  TIBOInternalDataset& InternalDataset() { return internal_; }

  bool HasCurrentRow() const override { return Active() && hasRow_; }
  bool ColumnIsNull(int column) const override;
  std::string ColumnAsString(int column) const override;
  long long ColumnAsInteger(int column) const override;
  const std::vector<FieldDefinition>& FieldDefs() const override { return internal_.FieldDefs(); }

 protected:
  bool InternalOpen() override;
  void InternalFirst() override;
  void InternalClose() override;

 private:
  TIBOInternalDataset internal_;
  bool hasRow_ = false;
};

}  // namespace db

#pragma once

// The buffered cursor inside a query: it finds the key columns of its rows before the prepare
// (rewriting the select list of a table without primary key to fetch the row key), and turns the
// described columns into field definitions.

#include <string>
#include <vector>

#include "db/TFieldDef.h"
#include "db/TIB_Statement.h"

namespace db {

class TIBOInternalDataset : public TIB_Statement {
 public:
  explicit TIBOInternalDataset(std::string name = {});

  const std::vector<TFieldDef>& FieldDefs() const { return fieldDefs_; }

  // The field definition kind of a described column.
  static TFieldType FieldTypeOf(const TIB_Column& column);

 protected:
  std::string ProcessSQL(const std::string& joined) override;
  void AfterPrepare() override;

 private:
  std::vector<TFieldDef> fieldDefs_;
};

}  // namespace db

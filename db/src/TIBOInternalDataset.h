#pragma once

// The buffered cursor inside a query: it finds the key columns of its rows before the prepare
// (rewriting the select list of a table without primary key to fetch the row key), and turns the
// described columns into field definitions.

#include <string>
#include <vector>

#include "FieldDefinition.h"
#include "TIB_Statement.h"

namespace db {

class TIBOInternalDataset : public TIB_Statement {
 public:
  explicit TIBOInternalDataset(std::string name = {});

  const std::vector<FieldDefinition>& FieldDefs() const { return fieldDefs_; }

  // The field definition kind of a described column.
  static FieldKind FieldTypeOf(const OutputColumn& column);

 protected:
  std::string ProcessSQL(const std::string& joined) override;
  void AfterPrepare() override;

 private:
  std::vector<FieldDefinition> fieldDefs_;
};

}  // namespace db

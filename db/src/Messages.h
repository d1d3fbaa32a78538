#pragma once

// The texts that the database side shows or raises, in code page 1252. Kept together so that a
// translation or a wording fix touches one file.

#include <string>

#include "platform/Cp1252.h"

namespace db::messages {

inline std::string ClientNotInstalled() {
  return "O cliente InterBase (GDS32.DLL) não está instalado"_cp1252;
}
inline std::string EntryPointMissing(const std::string& name) {
  return "Não é possível localizar a DLL de importação "_cp1252 + name;
}
inline std::string ChangeWhileConnected() {
  return "Não é possível alterar enquanto estiver conectado"_cp1252;
}
inline std::string ReplaceOwnDefaultTransaction() {
  return "Não é possível substituir a transação interna como padrão"_cp1252;
}
inline std::string InvalidDatabaseName() {
  return "O valor da propriedade DatabaseName é inválido"_cp1252;
}
inline std::string EmptyDatabaseName() {
  return "A propriedade DatabaseName não pode estar vazia"_cp1252;
}
inline std::string InvalidConnectionPath() {
  return "Caminho de conexão inválido"_cp1252;
}
inline std::string DpbValueTooLong() {
  return "DPB inválido: Contém mais que 255 caracteres"_cp1252;
}
inline std::string DpbOutOfBuffer() {
  return "DPB inválido: tamanho fora do buffer"_cp1252;
}
inline std::string TpbOutOfBuffer() {
  return "TPB inválido: tamanho fora do buffer"_cp1252;
}
inline std::string InfoTruncated() {
  return "O buffer de retorno das informações do banco de dados foi truncado"_cp1252;
}
inline std::string DropWithoutConnection() {
  return "Não é possível remover um banco de dados sem estar conectado a ele"_cp1252;
}
inline std::string NoCharacteristics() {
  return "Não foi possível obter as características da conexão"_cp1252;
}
inline std::string CannotChangeStarted(const std::string& property) {
  return "Não é possível alterar "_cp1252 + property + " uma vez iniciado";
}
inline std::string TransactionWithoutConnection() {
  return "A transação não possui uma conexão"_cp1252;
}
inline std::string NoActiveTransaction() {
  return "Não há uma transação ativa para a execução"_cp1252;
}
inline std::string BlankStatement() {
  return "Não é possível preparar uma sentença em branco"_cp1252;
}
inline std::string BlankServerStatement() {
  return "Não é permitida uma sentença SQL em branco"_cp1252;
}
inline std::string InvalidSqlInfo() {
  return "Dados inválidos foram retornados por isc_dsql_sql_info"_cp1252;
}
inline std::string UnexpectedSqlInfoSize() {
  return "Tamanho inesperado de isc_dsql_sql_info"_cp1252;
}
inline std::string CursorStillOpen() {
  return "O cursor ainda está aberto"_cp1252;
}
inline std::string SchemaCacheAssertion(long code) {
  return "Internal SchemaCache ERRCODE: " + std::to_string(code);
}
inline std::string FieldNotFound(const std::string& field) {
  return "Field '" + field + "' not found";
}
inline std::string TypeMismatch(const std::string& field, const std::string& expecting,
                                const std::string& actual) {
  return "Type mismatch for field '" + field + "', expecting: " + expecting + " actual: " + actual;
}
inline std::string SizeMismatch(const std::string& field, int expecting, int actual) {
  return "Size mismatch for field '" + field + "', expecting: " + std::to_string(expecting) +
         " actual: " + std::to_string(actual);
}
inline std::string NotImplemented(const std::string& entryPoint) {
  return entryPoint + "() not implemented";
}

}  // namespace db::messages

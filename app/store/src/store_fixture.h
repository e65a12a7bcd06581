#pragma once
// Test fixture: a fresh copy of the delivered databases in a temporary folder, reached
// embedded or, when STORE_SERVER names one ("host/port"), through that server.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "store/data_module.h"
#include "store/entities.h"

namespace store::testing {

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  bool server_mode() const { return !server_.empty(); }
  // The location of a local path as the module should name it.
  std::string location(const std::filesystem::path& p) const;
  // A new base folder holding a copy of the template data database.
  std::filesystem::path make_base(const std::string& name);
  // Catalogue connected and the Default base open.
  void connect();
  // Lines of the LOG table in the order written.
  std::vector<std::string> log_lines();
  // User keys of the LOG table in the order written.
  std::vector<int> log_users();
  // Rows of a statement on the data (or catalogue) database, read afresh.
  RowSet select(Transaction& tr, const std::string& sql,
                const std::vector<std::pair<std::string, Value>>& params = {});
  std::int64_t count(Transaction& tr, const std::string& table);
  // An invoice of the given date; its key.
  int add_invoice(const Date& d, int numero = 1);
  void add_item(int id_nota, const std::string& codigo, const std::string& aliquota = "1800",
                int item = 1);

  std::filesystem::path dir_;
  std::unique_ptr<TdmTributarium> dm_;

 private:
  std::string server_;
};

}  // namespace store::testing

#pragma once
// The product filter shared by the products editor and the search dialog: a parameterised
// query of PRODUTO by parts of the code and of the description, letter case ignored.
#include <memory>
#include <string>

namespace store {
class Query;
class TdmTributarium;
}  // namespace store

namespace shell {

class FiltroProdutos {
 public:
  explicit FiltroProdutos(store::TdmTributarium& dm);
  ~FiltroProdutos();
  // Runs the filter; empty texts do not restrict. Throws the query's error.
  void Aplica(const std::string& codigo, const std::string& descricao);
  store::Query& consulta() { return *q_; }

 private:
  std::unique_ptr<store::Query> q_;
};

}  // namespace shell

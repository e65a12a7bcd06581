#include "shell/editors/product_filter.h"

#include <string>

#include "store/data_module.h"

namespace shell {

FiltroProdutos::FiltroProdutos(store::TdmTributarium& dm)
    : q_(std::make_unique<store::Query>(
          "qFiltroProduto", dm.trDados,
          "select * from PRODUTO\nwhere CD_PRODUTO containing :codigo\n"
          "and TX_DESCRICAO containing :descricao\norder by " +
              std::string(store::kProductCodeOrder))) {}

FiltroProdutos::~FiltroProdutos() = default;

void FiltroProdutos::Aplica(const std::string& codigo, const std::string& descricao) {
  q_->Close();
  q_->SetParam("codigo", codigo);
  q_->SetParam("descricao", descricao);
  q_->Open();
}

}  // namespace shell

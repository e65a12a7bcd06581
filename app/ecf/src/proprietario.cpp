#include "ecf/proprietario.h"

#include "store/entities.h"

namespace ecf {

TextosProprietario TextosDoProprietario() {
  TextosProprietario t;
  try {
    store::TProprietario p;
    if (!p.Carregar()) return t;
    t = {p.TX_RAZAO_SOCIAL, p.TX_LOGRADOURO, std::to_string(p.NB_NUMERO),
         p.TX_COMPLEMENTO,  p.TX_BAIRRO,     p.TX_CIDADE,
         p.TX_CEP,          p.TX_TELEFONE,   p.TX_FAX,
         p.TX_NOME_CONTATO};
  } catch (const std::exception&) {
    return {};
  }
  return t;
}

}  // namespace ecf

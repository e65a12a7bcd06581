// A second desk for the store's tests: one product change through the entities, as the
// products editor makes it, in a process of its own.
//   outra-mesa PATHBASEDADOS PASTA_DA_BASE CODIGO DESCRICAO
// Exit 0 when saved; 3 with the user's message on standard output when the database
// refused it; 1 on anything else.
#include <iostream>

#include "store/data_module.h"
#include "store/entities.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::cerr << "uso: outra-mesa PATHBASEDADOS PASTA_DA_BASE CODIGO DESCRICAO\n";
    return 2;
  }
  try {
    store::TdmTributarium dm;
    dm.ListaLogDoDia = false;
    dm.PathBaseDados = argv[1];
    dm.ConectaCatalogo();
    dm.TrocarBanco("", argv[2]);
    store::TProduto p;
    if (!p.BuscaPorCodigo(argv[3])) {
      std::cerr << "produto não encontrado\n";
      return 1;
    }
    p.TX_DESCRICAO = argv[4];
    p.Alterar();
    return 0;
  } catch (const store::TEBancoDados& e) {
    std::cout << e.MensagemCom(argv[3]) << std::endl;
    return 3;
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
}

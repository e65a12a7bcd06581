#include "shell/program/menu_itens.h"

namespace shell {

const std::array<ItemMenu, 8>& ItensMenu() {
  static const std::array<ItemMenu, 8> itens = {{
      {1, "basededados", "Base de Dados", false},
      {2, "informacoesdocliente", "Informações do Cliente", true},
      {3, "usuarios", "Usuários", true},
      {4, "notasfiscais", "Notas Fiscais", true},
      {5, "produtos", "Produtos", true},
      {6, "inventario", "Inventário", true},
      {7, "geracaodearquivo", "Geração de Arquivo", true},
      {8, "configuracoes", "Configurações", false},
  }};
  return itens;
}

QString NomeFigura(const ItemMenu& item, Figura f) {
  QString nn = QStringLiteral("%1").arg(item.numero, 2, 10, QLatin1Char('0'));
  QString x = QString::fromLatin1(item.palavra);
  switch (f) {
    case Figura::Normal:
      return QStringLiteral("Imagens/%1 - menu_%2.jpg").arg(nn, x);
    case Figura::Selecionada:
      return QStringLiteral("Imagens/%1 - menu_%2_f2.jpg").arg(nn, x);
    case Figura::Desabilitada:
      return QStringLiteral("Imagens/%1 - menu_%2_f3.jpg").arg(nn, x);
    case Figura::Titulo:
      return QStringLiteral("Imagens/%1 - titulo_menu_%2.jpg").arg(nn, x);
  }
  return {};
}

}  // namespace shell

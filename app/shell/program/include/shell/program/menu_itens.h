#pragma once
// The eight entries of the main menu: picture names, labels and what each needs.
#include <QString>
#include <array>

namespace shell {

struct ItemMenu {
  int numero;           // 1..8
  const char* palavra;  // the word in the picture names
  const char* rotulo;   // the label drawn on the pictures
  bool precisaBase;     // disabled while no client base is selected
};

const std::array<ItemMenu, 8>& ItensMenu();

// "Imagens/NN - menu_X.jpg" and its variants, relative to the program folder.
enum class Figura { Normal, Selecionada, Desabilitada, Titulo };
QString NomeFigura(const ItemMenu& item, Figura f);

}  // namespace shell

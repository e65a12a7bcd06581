#include "shell/widgets/embedded_window.h"

#include "shell/widgets/dialogos.h"
#include "shell/widgets/principal.h"

namespace shell {

JanelaEmbutida::JanelaEmbutida(Principal& principal, const QString& titulo, int contextoAjuda,
                               QWidget* pai)
    : QWidget(pai), principal_(principal), contexto_(contextoAjuda) {
  setWindowTitle(titulo);
}

bool JanelaEmbutida::PedeFechar() {
  if (alterado_ && !msg::AbandonarAlteracoes(this)) return false;
  hide();
  return true;
}

}  // namespace shell

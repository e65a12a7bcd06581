/* Delivered contents: the template base and the first master user (ADMIN / admin). */
EXECUTE PROCEDURE INSERIR_BASE('Default', 'Default');
EXECUTE PROCEDURE INSERIR_USUARIO('Administrador', 'ADMIN', '21232f297a57a5a743894a0e4a801fc3', 1);
COMMIT;

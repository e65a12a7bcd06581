{ sintegra_month.pas MONTH YEAR FILE: the month's type-60 records from the detail tape. }
program SintegraMonth;

{$IFDEF FPC}{$MODE DELPHI}{$ENDIF}

uses Orvik, OrvikExample;

begin
  if ParamCount <> 3 then
  begin
    WriteLn(ErrOutput, 'usage: sintegra_month MONTH YEAR FILE');
    Halt(2);
  end;
  { 4 + 8 + 16: the 60D, 60I and 60R records besides 60M and 60A. }
  Require(Orvik_RelatorioSintegraMFD(4 + 8 + 16, PAnsiChar(AnsiString(ParamStr(3))),
          PAnsiChar(AnsiString(ParamStr(1))), PAnsiChar(AnsiString(ParamStr(2))),
          'MERCADO EXEMPLO LTDA', 'RUA DAS FLORES', '100', '', 'CENTRO', 'SAO PAULO',
          '01001000', '1133334444', '', 'FULANO'), 'Orvik_RelatorioSintegraMFD');
  WriteLn('Sintegra records in ', ParamStr(3));
end.

{ closing.pas: the day's Z reduction, then the RFD file of that reduction. }
program Closing;

{$IFDEF FPC}{$MODE DELPHI}{$ENDIF}

uses Orvik, OrvikExample;

var
  Crz: AnsiString;
begin
  Require(Orvik_ReducaoZ('', ''), 'Orvik_ReducaoZ');
  Crz := Answer(4);
  Require(Orvik_NumeroReducoes(PAnsiChar(Crz)), 'Orvik_NumeroReducoes');
  Require(RFD_ConvertedaMFD(PAnsiChar(Crz)), 'RFD_ConvertedaMFD');
  WriteLn('reduction ', PAnsiChar(Crz));
  WriteLn('RFD written');
end.

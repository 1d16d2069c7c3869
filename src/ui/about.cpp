#include "ui/about.h"

#include "ui/control_ids.h"
#include "ui/form1.h"

TAboutBox* AboutBox = nullptr;

TAboutBox::TAboutBox(TForm* owner) : TForm(owner) {
  ClassName = "TAboutBox";
  Caption = "バージョン情報";
  ClientWidth = 298;
  ClientHeight = 203;
  SetFrame(6, 25);
  SystemMenu = false, MinimizeBox = false, Centered = true;
  // Panel1 at 8, 8 (281 x 161) holds the picture and the texts; their
  // positions below are those inside the panel moved by its offset.
  Frames.push_back({8, 8, 281, 161, true});
  const int px = 8, py = 8;
  ProgramIcon = Make<TImage>("ProgramIcon", ids::ProgramIcon, px + 8, py + 8, 32, 32);
  ProductName = Make<TLabel>("ProductName", ids::ProductName, px + 56, py + 16, 0, 12);
  ProductName->SetCaption("Product Name Vantrel");
  Version = Make<TLabel>("Version", ids::Version, px + 56, py + 40, 0, 12);
  Version->SetCaption("Version 1.0");
  Copyright = Make<TLabel>("Copyright", ids::Copyright, px + 8, py + 80, 265, 12);
  Copyright->SetCaption("Copyright (C) 2026 Vantrel developers");
  Comments = Make<TLabel>("Comments", ids::Comments, px + 8, py + 104, 177, 17);
  Comments->WordWrap = true;
  Comments->SetCaption("MP3プレーヤー");
  OKButton = Make<TButton>("OKButton", ids::OKButton, 111, 172, 75, 25);
  OKButton->SetCaption("OK");
  OKButton->Default = true;
  OKButton->ModalResult = 1;
  OKButton->TabOrder = 0;
  OKButton->OnClick = [this](TObject* s) { OKButtonClick(s); };
}

void TAboutBox::OKButtonClick(TObject*) {
  ModalResult = 1;
  Close();
}

void TForm1::About1Click(TObject*) {
  auto* box = new TAboutBox(this);
  Components.emplace_back(box);
  AboutBox = box;
  if (TApplication::CreateNative) TApplication::CreateNative(box);
  box->ShowModal();
}

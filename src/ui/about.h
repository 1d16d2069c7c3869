// The About box.
#pragma once
#include "vcl/vcl.h"

class TAboutBox : public TForm {
 public:
  explicit TAboutBox(TForm* owner);
  TImage* ProgramIcon;
  TLabel *ProductName, *Version, *Copyright, *Comments;
  TButton* OKButton;
  void OKButtonClick(TObject* sender);
};

extern TAboutBox* AboutBox;

// The controls of the wizard and where they sit, in twips (15 per pixel at
// 96 dpi), laid out as a classic wizard: a picture strip on the left, the
// source, the destination and the data choices on the right, progress and
// buttons at the bottom.
#include "host/wizard.h"

namespace host {

void frmMain::addControls() {
  using K = Control::Kind;
  auto add = [this](K kind, const char* name, const char* parent, int left, int top, int width, int height) {
    Control c;
    c.kind = kind;
    c.name = name;
    c.parent = parent;
    c.left = left;
    c.top = top;
    c.width = width;
    c.height = height;
    controls_[name] = c;
    order_.push_back(name);
    return &controls_[name];
  };
  width = 8900;
  height = 7250;

  add(K::Image, "Image1", "", 120, 120, 2100, 6500);
  add(K::Label, "LabelLng", "", 2400, 150, 2200, 255);
  add(K::Option, "Option1", "", 4700, 120, 1500, 300)->text = "Français";
  add(K::Option, "Option2", "", 6400, 120, 1800, 300)->text = "Nederlands";
  add(K::Label, "Label1", "", 2400, 540, 6300, 600);

  add(K::Frame, "Frame1", "", 2400, 1180, 6300, 1250);
  add(K::Label, "Label2", "Frame1", 120, 340, 1700, 255);
  add(K::TextBox, "txtPathMarlin", "Frame1", 1900, 300, 3800, 315);
  add(K::Button, "cmdPathMarlin", "Frame1", 5780, 300, 400, 315)->text = "...";
  add(K::Label, "Label4", "Frame1", 120, 800, 1700, 255);
  add(K::ComboBox, "cboCompany", "Frame1", 1900, 760, 4280, 315);

  add(K::Frame, "FrameSql", "", 2400, 570, 6300, 2050);
  add(K::Label, "Label12", "FrameSql", 120, 340, 1700, 255);
  add(K::ComboBox, "cboServeur", "FrameSql", 1900, 300, 4280, 315);
  add(K::Label, "Label13", "FrameSql", 120, 740, 1700, 255);
  add(K::TextBox, "txtLogin", "FrameSql", 1900, 700, 4280, 315);
  add(K::Label, "Label14", "FrameSql", 120, 1140, 1700, 255);
  add(K::TextBox, "txtPw", "FrameSql", 1900, 1100, 4280, 315);
  add(K::Label, "Label10", "FrameSql", 120, 1580, 1700, 255);
  add(K::ComboBox, "cboCompanySql", "FrameSql", 1900, 1540, 3000, 315);
  add(K::Button, "cmdConnect", "FrameSql", 5000, 1510, 1180, 375);

  add(K::Frame, "Frame2", "", 2400, 2520, 6300, 1450);
  add(K::Label, "Label7", "Frame2", 120, 300, 6060, 255);
  add(K::Label, "Label3", "Frame2", 120, 680, 1700, 255);
  add(K::TextBox, "txtPathKestrel", "Frame2", 1900, 640, 4280, 315);
  add(K::Label, "Label5", "Frame2", 120, 1060, 1700, 255);
  add(K::TextBox, "txtCompanyName", "Frame2", 1900, 1020, 4280, 315);

  add(K::Frame, "Frame3", "", 2400, 4060, 6300, 1700);
  add(K::Option, "OptSignal", "Frame3", 120, 300, 6060, 285)->value = true;
  add(K::Check, "chkClients", "Frame3", 420, 620, 1500, 285)->value = true;
  add(K::Check, "chkSuppliers", "Frame3", 1950, 620, 1700, 285)->value = true;
  add(K::Check, "chkGeneralLegders", "Frame3", 3800, 620, 2400, 285)->value = true;
  add(K::Option, "OptCompta", "Frame3", 120, 1020, 6060, 500);
  // On the form but neither read nor set by anything.
  add(K::Check, "chkExerciseOpening", "Frame3", 120, 1500, 100, 100)->visible = false;
  add(K::Check, "IsImp01", "Frame3", 120, 1500, 100, 100)->visible = false;
  add(K::Check, "ChkRecupHisto", "Frame3", 120, 1500, 100, 100)->visible = false;

  add(K::ProgressBar, "ProgressBar1", "", 2400, 5860, 6300, 255);
  add(K::Label, "Label8", "", 2400, 6170, 2700, 255);
  add(K::Label, "Label9", "", 5200, 6170, 3500, 255);
  add(K::Label, "Label6", "", 2400, 6440, 6300, 255);
  add(K::Button, "cmdOk", "", 6160, 6760, 1200, 375);
  add(K::Button, "cmdCancel", "", 7500, 6760, 1200, 375);
  // Raises ExecutionDone without an import; a hidden developer's button.
  add(K::Button, "Command1", "", 2400, 6760, 1200, 375)->visible = false;
  // The remaining labels exist on the form but show nothing.
  add(K::Label, "Label11", "", 0, 0, 0, 0)->visible = false;
}

void frmMain::applyEditionLayout() {
  if (!ctx.isVersionSql) {
    control("Frame1").visible = true;
    control("FrameSql").visible = false;
    return;
  }
  control("Frame1").visible = false;
  Control& sql = control("FrameSql");
  sql.visible = true;
  sql.left = 2400;
  sql.top = 570;
  constexpr int shift = 750;
  height += shift;
  for (const char* name :
       {"Frame2", "Frame3", "ProgressBar1", "Label8", "Label6", "Label9", "cmdOk", "cmdCancel"})
    control(name).top += shift;
  control("cboCompanySql").enabled = false;
}

}  // namespace host

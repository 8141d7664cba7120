// The wizard's captions in French and Dutch.
#pragma once
#include <string>
#include <vector>

namespace host {

struct Caption {
  const char* control;  // control name; "" for the form itself
  const char* dutch;
  const char* french;
};

// Every caption langueInt sets, without the form's own (which depends on the edition).
const std::vector<Caption>& wizardCaptions();

// The form caption: the edition's title in the language's column.
std::string formCaption(bool dutch, bool sqlEdition);

// Title of the run's failure messages (differs from the form caption in the
// Dutch Access edition, which ends in " 5.01").
std::string importErrorTitle(bool french, bool sqlEdition);

}  // namespace host

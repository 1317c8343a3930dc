#include "container/FGobDlg.h"

// Replaced by the real dialog.
std::string TfrmDlgGob::SelectEntry(const TJKContainer&, const std::string&) { return std::string(); }

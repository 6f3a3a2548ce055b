// user32: message boxes.
#include "internal.h"

using namespace w32;

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  if (owner && !FindOrFail(owner)) return 0;
  const char* shownCaption = caption ? caption : "Error";
  TheRecords().messageBoxes.push_back(MessageBoxRecord{owner, text ? text : "", shownCaption, type});
  return CurrentHost().ShowMessageBox(owner, text ? text : "", shownCaption, type);
}

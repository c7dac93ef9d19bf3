// Helpers that build the designed controls of a form from compact descriptions.
#pragma once

#include "ui/controls.h"
#include "ui/text_image_button.h"

namespace ui {

struct TBox {
  int left, top, width, height;
};

TLabel* AddLabel(TForm& form, TControl* parent, const wchar_t* name, TBox box, const std::wstring& caption,
                 int fontHeight, TColor color, bool transparent = true);
TImage* AddImage(TForm& form, TControl* parent, const wchar_t* name, TBox box, const TPicture& picture,
                 bool stretch = false, bool autoSize = false);
TTextImageButton* AddButton(TForm& form, TControl* parent, const wchar_t* name, TBox box, const std::wstring& caption,
                            int fontHeight, TColor color);

}  // namespace ui

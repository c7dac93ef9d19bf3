// Designed-control builders.
#include "ui/layout.h"

namespace ui {

TLabel* AddLabel(TForm& form, TControl* parent, const wchar_t* name, TBox box, const std::wstring& caption,
                 int fontHeight, TColor color, bool transparent) {
  auto* label = form.Create<TLabel>(parent, name);
  label->SetBounds(box.left, box.top, box.width, box.height);
  label->SetCaption(caption);
  label->Font.height = fontHeight;
  label->Font.color = color;
  label->Transparent = transparent;
  return label;
}

TImage* AddImage(TForm& form, TControl* parent, const wchar_t* name, TBox box, const TPicture& picture, bool stretch,
                 bool autoSize) {
  auto* image = form.Create<TImage>(parent, name);
  image->SetBounds(box.left, box.top, box.width, box.height);
  image->Stretch = stretch;
  image->AutoSize = autoSize;
  image->SetPicture(picture);
  return image;
}

TTextImageButton* AddButton(TForm& form, TControl* parent, const wchar_t* name, TBox box, const std::wstring& caption,
                            int fontHeight, TColor color) {
  auto* button = form.Create<TTextImageButton>(parent, name);
  button->SetBounds(box.left, box.top, box.width, box.height);
  button->SetCaption(caption);
  button->Font.height = fontHeight;
  button->Font.color = color;
  button->Cursor = TCursor::crHandPoint;
  return button;
}

}  // namespace ui

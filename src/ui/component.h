// The base of everything on a form: TComponent (named, owned by its owner, which frees it) and TControl
// (a rectangle on a parent, with text, font, colour, visibility and enabled state). A control owns its
// state; the backend draws it and is told of every change. Nothing here blocks or pumps messages.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/graphics.h"

namespace ui {

class TObject {
 public:
  virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* sender)>;

class TForm;
class TWinControl;
enum class Key;
struct LayoutValue;

class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  std::string Name;
  TComponent* Owner() const { return owner_; }
  const std::vector<TComponent*>& Components() const { return components_; }
  TComponent* FindComponent(const std::string& name) const;

  // Creates a component owned by this one.
  template <class T, class... Args>
  T* Make(Args&&... args) {
    return new T(this, std::forward<Args>(args)...);
  }

  // Sets one property from a layout. False when the property is unknown to the class. Event
  // properties are resolved through `form`'s handler table.
  virtual bool ApplyProperty(const std::string& name, const LayoutValue& value, TForm& form);
  // Called once every property of the layout has been applied.
  virtual void Loaded() {}

  // Expires when the component is freed: work queued for it (input, notifications) checks it first.
  std::weak_ptr<const void> Lifetime() const { return lifetime_; }

 private:
  TComponent* owner_;
  std::vector<TComponent*> components_;  // owned; freed in reverse order
  std::shared_ptr<const char> lifetime_ = std::make_shared<const char>('\0');
};

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  TWinControl* Parent() const { return parent_; }
  void SetParent(TWinControl* parent);
  // The form the control is on (itself for a form), or null.
  TForm* OwnerForm() const;

  TRect BoundsRect() const { return bounds_; }
  void SetBounds(int left, int top, int width, int height);
  int Left() const { return bounds_.Left; }
  int Top() const { return bounds_.Top; }
  int Width() const { return bounds_.Width; }
  int Height() const { return bounds_.Height; }
  // The rectangle in the form's client coordinates.
  TRect ClientRectOnForm() const;

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  // Caption of labels, buttons, panels and forms; text of edits. One string, as the system keeps it.
  const std::string& Caption() const { return text_; }
  void SetCaption(const std::string& text);
  const std::string& Text() const { return text_; }
  void SetText(const std::string& text) { SetCaption(text); }

  // The font as set; FontUsed() follows the parent's while ParentFont is true.
  TFont Font() const { return font_; }
  void SetFont(const TFont& font);
  const TFont& FontUsed() const;
  bool ParentFont() const { return parent_font_; }

  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TColor ColorUsed() const;

  TNotifyEvent OnClick;
  // What a click on the control does (fires OnClick; subclasses add their own behaviour first).
  virtual void Click();

  // True when the user can reach the control now: it and its parents are visible and enabled, no
  // visible panel above it covers it, and its form takes input (no modal dialog over it).
  bool IsReachable() const;
  // True when a visible panel stacked above the control (or above one of its parents) overlaps it.
  bool IsCovered() const;
  // Visible with all its parents (as a person would see it, panels aside).
  bool Showing() const;

  bool ApplyProperty(const std::string& name, const LayoutValue& value, TForm& form) override;

  // Tells the backend the control's state changed, so it redraws it.
  void Changed();

  // A backend keeps its own object for the control here.
  void* BackendPeer = nullptr;

 protected:
  virtual void TextChanged() {}

 private:
  TWinControl* parent_ = nullptr;
  TRect bounds_;
  bool visible_ = true;
  bool enabled_ = true;
  std::string text_;
  TFont font_;
  bool parent_font_ = true;
  TColor color_ = clBtnFace;
  bool parent_color_ = true;
};

// A control that can hold the focus and other controls.
class TWinControl : public TControl {
 public:
  using TControl::TControl;
  ~TWinControl() override;

  // Children, bottom of the stacking order first.
  const std::vector<TControl*>& Controls() const { return controls_; }

  int TabOrder = -1;
  bool TabStop = false;

  // True when the control takes the focus: a tab stop that is reachable.
  virtual bool CanFocus() const;
  bool Focused() const;
  void SetFocus();
  // A key the form did not take (arrows, Home, ...) goes to the focused control.
  virtual void KeyDown(Key) {}

  bool ApplyProperty(const std::string& name, const LayoutValue& value, TForm& form) override;

 private:
  friend class TControl;
  std::vector<TControl*> controls_;
};

}  // namespace ui

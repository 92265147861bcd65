#include "gui/controls/MControlValue.h"

#include "base/MValue.h"
#include "gui/MWindow.h"
#include "gui/controls/MControlMenu.h"

MControlValue::MControlValue() = default;

MControlValue::~MControlValue() = default;

void MControlValue::Bind(MValue* value)
{
  m_ownedValue.reset();
  m_value = value;
  Refresh();
}

void MControlValue::BindOwned(std::unique_ptr<MValue> value)
{
  m_value = value.get();
  m_ownedValue = std::move(value);
  Refresh();
}

void MControlValue::Refresh()
{
  if (m_value == nullptr)
  {
    SetContent(nullptr);
    return;
  }
  MContentDataPtr content = m_value->GetContent();
  const MContentDataPtr& old = GetContent();
  if (content != nullptr && old != nullptr && content->GetText() == old->GetText() &&
      content->GetKind() == old->GetKind())
  {
    Invalidate(); // the position may have moved without a new text
    return;
  }
  SetContent(std::move(content));
}

void MControlValue::BeginGesture()
{
  if (m_gestureOpen)
    return;
  m_gestureOpen = true;
  MOnItemParams<bool> params{this, true};
  m_gestureEvent.Call(params);
}

void MControlValue::EndGesture()
{
  if (!m_gestureOpen)
    return;
  m_gestureOpen = false;
  MOnItemParams<bool> params{this, false};
  m_gestureEvent.Call(params);
}

bool MControlValue::AfterChange(bool changed)
{
  if (!changed)
    return false;
  Refresh();
  if (m_gestureOpen)
  {
    NotifyChanged();
    return true;
  }
  // A change of its own (wheel, key, typed entry, click): one gesture around it.
  BeginGesture();
  NotifyChanged();
  EndGesture();
  return true;
}

bool MControlValue::SetNormalised(double x)
{
  return m_value != nullptr && AfterChange(m_value->SetNormalised(x));
}

bool MControlValue::Increment(int steps, int level)
{
  return m_value != nullptr && AfterChange(m_value->Increment(steps, level));
}

bool MControlValue::IncrementFine(int steps)
{
  return m_value != nullptr && AfterChange(m_value->IncrementFine(steps));
}

bool MControlValue::SetStep(int step)
{
  if (m_value == nullptr)
    return false;
  const double before = m_value->GetNormalised();
  m_value->SetStep(step);
  return AfterChange(m_value->GetNormalised() != before);
}

bool MControlValue::SetValueText(const MString& text)
{
  return m_value != nullptr && AfterChange(m_value->SetText(text));
}

bool MControlValue::SetDefault()
{
  return m_value != nullptr && AfterChange(m_value->SetDefault());
}

double MControlValue::GetNormalised() const
{
  return m_value != nullptr ? m_value->GetNormalised() : -1.0;
}

void MControlValue::FillPaint(MControlPaint& paint) const
{
  MControlContent::FillPaint(paint);
  if (m_value != nullptr)
    paint.value = m_value->GetNormalised();
  // Waiting for MIDI learn: the text says so, the control is lit as under the mouse.
  if (const MWindow* window = GetWindow(); window != nullptr && window->GetControlMenu() != nullptr &&
                                           window->GetControlMenu()->IsWaiting(*this, -1))
  {
    paint.text = MString("Learn...");
    paint.highlighted = true;
  }
}

double MControlValue::NormalisedAt(MPoint) const
{
  return -1.0;
}

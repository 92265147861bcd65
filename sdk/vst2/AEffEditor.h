#pragma once
// Base of a VST 2.4 plug-in editor: the object behind the effEdit* opcodes.
//
// AudioEffect::setEditor hands the editor to the effect, which owns it from then on and deletes
// it in its own destructor. All calls arrive on the host's UI thread. Every operation has a
// neutral default so that a derived editor overrides only what it does.

#include "sdk/vst2/VstRecords.h"

namespace Vst2
{
class AudioEffect;

class AEffEditor
{
public:
  /// effect: the effect this editor belongs to (not owned; it owns the editor).
  explicit AEffEditor(AudioEffect* effect) : m_audioEffect(effect) {}
  virtual ~AEffEditor() = default;
  AEffEditor(const AEffEditor&) = delete;
  AEffEditor& operator=(const AEffEditor&) = delete;

  /// effEditGetRect: points *rect at a rectangle that stays valid after the call (the host reads
  /// it right away). *rect is null on entry. Answers true when a rectangle was given.
  virtual bool getRect(ERect** rect)
  {
    (void)rect;
    return false;
  }

  /// effEditOpen: parent is the host's native window (an X11 window ID on Linux, an HWND on
  /// Windows). The default remembers it. Answers true when the editor is now shown.
  virtual bool open(void* parent)
  {
    m_systemWindow = parent;
    return false;
  }

  /// effEditClose: the default forgets the parent window.
  virtual void close() { m_systemWindow = nullptr; }

  /// Whether a parent window is set (open was called and close was not).
  virtual bool isOpen() { return m_systemWindow != nullptr; }

  /// effEditIdle: periodic UI-thread work while the editor is open.
  virtual void idle() {}

  /// Hook for derived editors to refresh their contents; the base never calls it.
  virtual void update() {}

  /// effEditKeyDown / effEditKeyUp: answer true when the editor used the key.
  virtual bool onKeyDown(VstKeyCode& keyCode)
  {
    (void)keyCode;
    return false;
  }
  virtual bool onKeyUp(VstKeyCode& keyCode)
  {
    (void)keyCode;
    return false;
  }

  /// effSetEditKnobMode: how knobs follow the mouse (0 circular, 1 relative circular, 2 linear).
  virtual bool setKnobMode(VstInt32 mode)
  {
    (void)mode;
    return false;
  }

  AudioEffect* getEffect() const { return m_audioEffect; }
  void* getSystemWindow() const { return m_systemWindow; }

protected:
  AudioEffect* m_audioEffect;
  void* m_systemWindow = nullptr;
};
} // namespace Vst2

// The logic of the two property pages, apart from any window: the
// printing-preferences page (a document's settings) and the device-settings
// page (the queue's print-processor features and, on model A, the user
// labels). The Windows glue drives them from dialog messages; tests drive
// them through a fake view.
#pragma once

#include <windows.h>

#include "label_file.h"
#include "settings.h"
#include "tables.h"

namespace driver {

// One entry of a choice control: its value and its text, a string resource
// (textId) or, when textId is 0, the text itself.
struct Choice {
  LONG value;
  UINT textId;
  const WCHAR* text;
};

// The controls of a page as the logic sees them, by control id.
class PageView {
 public:
  virtual ~PageView() = default;
  virtual void setChoices(int control, const Choice* choices, int count) = 0;
  virtual void select(int control, int position) = 0;
  // Position of the selected entry, -1 when none.
  virtual int selected(int control) const = 0;
  virtual void setNumber(int control, LONG value) = 0;
  // False when the control does not hold a whole number.
  virtual bool number(int control, LONG* value) const = 0;
  virtual void setChecked(int control, bool on) = 0;
  virtual bool checked(int control) const = 0;
  virtual void setText(int control, const WCHAR* text) = 0;
  // Copies at most chars - 1 units and terminates.
  virtual void text(int control, WCHAR* buffer, int chars) const = 0;
  virtual void enable(int control, bool on) = 0;
  // Tells the user why the control's value is refused (message string id;
  // IDS_OUT_OF_RANGE carries min and max) and puts the focus on it.
  virtual void refuse(int control, UINT messageId, LONG min, LONG max) = 0;
};

// Printing preferences: what travels with the document in its device mode,
// and nothing else (a standard user keeps all of it): label, custom size,
// orientation and landscape rotation, copies, speed, offsets (model A),
// colour mode and dither pattern, graphics mode.
class PreferencesPage {
 public:
  // settings: the document's settings, changed by apply(). readOnly: the
  // user may look but not change (nothing is enabled, apply() keeps all).
  PreferencesPage(PageView& view, DriverSettings& settings, bool readOnly);
  // Fills every control from the settings and the label file.
  void show();
  // A choice or check changed: updates what depends on it.
  void changed(int control);
  // Range-checks every control; on success takes them into the settings
  // and returns true. On the first refused value the view is told and
  // nothing is taken.
  bool apply();

 private:
  void updateEnabled();
  LONG selectedLabel() const;

  PageView& view_;
  DriverSettings& settings_;
  bool readOnly_;
  LabelListEntry labels_[kLabelListCapacity + 1];
  int labelCount_ = 0;
  Choice labelChoices_[kLabelListCapacity];
};

// Device settings (the queue's properties): the four print-processor
// features of "Private DevMode"; each label's definition in the label file
// (density, print mode, stop position, gap), which is stored for the whole
// computer and needs administrator rights; and, on model A, the user
// labels 301..320.
class DeviceSettingsPage {
 public:
  DeviceSettingsPage(PageView& view, HANDLE printer, PrinterDataBlock& block, bool readOnly);
  void show();
  void changed(int control);
  // The save buttons of the label definition and of the user-label editor,
  // and the latter's delete button. A value out of range, or a write the
  // label file refuses, is told to the view; after a refused write the
  // label definition shows again what the file holds.
  void command(int control);
  // Takes the feature selections into the block and stores it as the
  // queue's "Private DevMode"; false (nothing stored) when storing fails.
  bool apply();

  // The controls command() answers.
  static bool isCommand(int control);

 private:
  void showSlots(int position);
  void showSlot();
  LONG selectedSlot() const;
  void showDefinition();
  void saveDefinition();

  PageView& view_;
  HANDLE printer_;
  PrinterDataBlock& block_;
  bool readOnly_;
  static constexpr int kMaxSlots = 20;
  WCHAR slotTexts_[kMaxSlots][kLabelNameSlot + 8];
  Choice slotChoices_[kMaxSlots];
  LabelListEntry labels_[kLabelListCapacity + 1];
  int labelCount_ = 0;
  Choice labelChoices_[kLabelListCapacity];
};

}  // namespace driver

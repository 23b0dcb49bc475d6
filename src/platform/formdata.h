#pragma once
// FormData: the stored design-time state of one window, a PropertyBag per
// control name, and its file format. The program keeps each window's form data
// as a resource; the designer tool reads and writes the same files.
//
// The file is UTF-8 text, so that a change to a form shows up readably in a
// review:
//
//   VantrelFormData 1
//   control aicAlphaImage1
//     Opacity int16 80
//     Intensity float -12.5
//     Image bytes iVBORw0KGgoAAAANSUhEUgAA...
//   end
//
// One property a line: its name, its type (bool, int16, int32, float, bytes,
// picture) and its value. Names are non-empty runs of printable ASCII without
// spaces. Booleans are 0 or 1, integers decimal, floats in their shortest form
// that reads back to the same bits (nan and inf included), bytes and pictures
// base64 ("-" for empty). Lines end in LF; a CR before it, blank lines and
// lines starting with '#' are ignored.
#include "platform/propertybag.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

class FormData {
 public:
  // The bag of a control, created empty when the form has none yet.
  PropertyBag& control(const QString& name);
  // The bag of a control, or nullptr.
  const PropertyBag* find(const QString& name) const;
  void remove(const QString& name);
  QStringList controlNames() const;
  bool operator==(const FormData& other) const { return m_controls == other.m_controls; }

 private:
  std::vector<std::pair<QString, PropertyBag>> m_controls;
};

// A readable reason when the text is not form data, naming the line.
struct FormDataError {
  int line = 0;  // 1-based; 0 when the whole input is at fault
  QString message;
};

// Parses the bytes of a form data file; nullopt with the reason when they are
// not one. Inputs above kMaxFormDataBytes are refused without being parsed.
inline constexpr int64_t kMaxFormDataBytes = 64 * 1024 * 1024;
std::optional<FormData> parseFormData(std::span<const uint8_t> bytes,
                                      FormDataError* error = nullptr);
// The file's bytes; nullopt when a control or property name cannot be written
// (empty, or holding spaces or characters outside printable ASCII).
std::optional<QByteArray> serializeFormData(const FormData& form);
// The one rule for control and property names, wherever a name is typed or
// read: non-empty printable ASCII without spaces, so the file can hold it.
bool isValidFormDataName(const QString& name);

// Reads a file (or a Qt resource path such as ":/forms/frmmain.vfd").
std::optional<FormData> loadFormDataFile(const QString& path, FormDataError* error = nullptr);
// Writes through a temporary file and a rename, so a failed save keeps the old file.
bool saveFormDataFile(const QString& path, const FormData& form, QString* error = nullptr);

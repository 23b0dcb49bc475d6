#pragma once
// The port list file: one line per port row, in list order, each
// "port text,protocol text" and ended by CR LF, in the system's 8-bit code
// page. No header, no comments, no quoting.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <vector>

// One row of the port list as the file stores it: the port number as typed
// and the protocol text ("TCP" or "UDP"; empty when a line had no ",").
struct PortRow {
  QString port;
  QString protocol;

  friend bool operator==(const PortRow&, const PortRow&) = default;
};

// Where rows are read into and written from. The main window's list view is
// the one list the program keeps; it implements this so the file procedures
// work on it directly.
class PortRowList {
 public:
  virtual ~PortRowList() = default;

  virtual int portRowCount() const = 0;
  // 0-based, 0 <= index < portRowCount().
  virtual PortRow portRow(int index) const = 0;
  // Adds a row at the end of the list.
  virtual void appendPortRow(const PortRow& row) = 0;
};

// A port list held in memory: for tests, tools and anything without a window.
class PortRows : public PortRowList {
 public:
  PortRows() = default;
  explicit PortRows(std::vector<PortRow> rows) : rows(std::move(rows)) {}

  int portRowCount() const override { return static_cast<int>(rows.size()); }
  PortRow portRow(int index) const override { return rows.at(static_cast<size_t>(index)); }
  void appendPortRow(const PortRow& row) override { rows.push_back(row); }

  std::vector<PortRow> rows;
};

// Adds the row one line of the file describes: the line split at every ",",
// the first piece the port text, the second the protocol text, the rest ignored.
void AddPortRow(PortRowList& list, QStringView line);

// Appends the rows of the file at `path` to `list`, in file order. Blank lines
// are skipped and a last line without a line end is read. A file that is
// missing or cannot be read adds nothing. Returns the number of rows added.
int LoadPortList(PortRowList& list, const QString& path);

// Writes every row of `list` to `path`. The file is replaced whole through a
// temporary file in the same folder, so a save that fails, for whatever
// reason, leaves the previous list as it was. Returns whether the new list
// was stored.
bool SavePortList(const PortRowList& list, const QString& path);

// The two halves of the procedures above that do not touch the disk.
// Lines end at CR LF; a lone LF or CR (a file edited by hand) ends one too.
int readPortList(PortRowList& list, QByteArrayView fileBytes);
QByteArray writePortList(const PortRowList& list);

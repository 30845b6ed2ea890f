#pragma once

#include "workspace/FileList.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QIcon>
#include <QLocale>

#include <array>
#include <string_view>

namespace vantrel::gui {

/// One column of the list: its title, its width key in "Main Window" and
/// its default width.
struct ListColumn {
    std::string_view title;
    std::string_view widthKey;
    int defaultWidth;
    bool rightAligned;
};

/// The nine columns, in order.
[[nodiscard]] const std::array<ListColumn, 9>& listColumns();

/// "N KB": whole kilobytes (half a kilobyte rounds down) in the locale's digit grouping.
[[nodiscard]] QString formatSize(std::int64_t size, const QLocale& locale);
/// The locale's short date, a blank and its time with seconds; empty for no date.
[[nodiscard]] QString formatDateTime(const DateTime& date, const QLocale& locale);

/// The file list as a table for the view: a thin adapter over a FileList
/// that follows its changes (rows appended in batches, ranges changed, one
/// row moved, resets) with the matching model signals, never one per row.
/// Cells are computed from the entries when asked; nothing touches the disk.
/// A new name that cannot be had (it collides) is drawn in the invalid
/// colour, and its tooltip says what holds the name.
class FileListModel final : public QAbstractTableModel, private FileListObserver {
    Q_OBJECT
public:
    explicit FileListModel(FileList& list, QObject* parent = nullptr);
    ~FileListModel() override;

    [[nodiscard]] FileList& list() { return list_; }

    /// The "New Name" colours of the preferences (0x00BBGGRR values).
    void setColours(std::uint32_t ok, std::uint32_t invalid);
    /// The background the colours are drawn on (the view's base colour).
    void setBackground(const QColor& background);
    /// Whether rows show their type's icon (the setting at scan time).
    void setShowIcons(bool on);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::DropActions supportedDropActions() const override;

signals:
    /// The list's selection of rows [first, last] changed by the list itself
    /// (select all, rows appended selected, a reset); the view follows it.
    void listSelectionChanged(int first, int last);
    /// The user finished editing a row's name in place.
    void nameEdited(int row, const QString& text);

private:
    void rowsAboutToBeAppended(std::size_t first, std::size_t count) override;
    void rowsAppended(std::size_t first, std::size_t count) override;
    void rowsChanged(std::size_t first, std::size_t last, RowChange what) override;
    void rowAboutToMove(std::size_t from, std::size_t to) override;
    void rowMoved(std::size_t from, std::size_t to) override;
    void aboutToReset() override;
    void resetDone() override;

    QIcon iconFor(const FileEntry& entry) const;
    QColor colourFor(const FileEntry& entry) const;

    FileList& list_;
    QLocale locale_;
    QColor ok_, invalid_, okShown_, invalidShown_, background_;
    bool showIcons_ = true;
    mutable QHash<QString, QIcon> icons_; ///< by type name
    mutable QIcon folderIcon_, fileIcon_;
};

} // namespace vantrel::gui

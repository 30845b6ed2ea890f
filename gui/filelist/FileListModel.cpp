#include "filelist/FileListModel.h"

#include "TypeNames.h"
#include "layout/Colours.h"

#include <QDate>
#include <QDateTime>
#include <QFileIconProvider>
#include <QRegularExpression>
#include <QTime>

namespace vantrel::gui {
namespace {

constexpr int kNewNameColumn = 1;

QString toQString(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

/// The locale's time format with seconds and without a time zone.
QString timeFormat(const QLocale& locale) {
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*")));
    return format.trimmed();
}

} // namespace

const std::array<ListColumn, 9>& listColumns() {
    static const std::array<ListColumn, 9> columns{{
        {"Name", "Col Name", 160, false},
        {"New Name", "Col NewName", 160, false},
        {"Sub Dir.", "Col SubDir", 40, false},
        {"Type", "Col Type", 50, false},
        {"Size", "Col Size", 40, true},
        {"Created", "Col Created", 50, false},
        {"Modified", "Col Modified", 50, false},
        {"Length", "Col New Length", 50, true},
        {"Taken", "Col Time Taken", 50, false},
    }};
    return columns;
}

QString formatSize(std::int64_t size, const QLocale& locale) {
    const auto bytes = static_cast<std::uint64_t>(size);
    const std::uint64_t kilobytes = (bytes >> 10) + ((bytes & 0x3FF) > 512 ? 1 : 0);
    return locale.toString(static_cast<qulonglong>(kilobytes)) + QStringLiteral(" KB");
}

QString formatDateTime(const DateTime& date, const QLocale& locale) {
    if (date.isZero())
        return {};
    static const QString time = timeFormat(QLocale());
    const QDate day(date.year, date.month, date.day);
    const QTime clock(date.hour, date.minute, date.second);
    const QString dayText = day.isValid() ? locale.toString(day, QLocale::ShortFormat) : QString();
    const QString timeText =
        clock.isValid() ? locale.toString(clock, locale == QLocale() ? time : timeFormat(locale))
                        : QString();
    return dayText + QLatin1Char(' ') + timeText;
}

FileListModel::FileListModel(FileList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {
    setColours(0x00FF00, 0x0000FF);
    list_.setObserver(this);
}

FileListModel::~FileListModel() {
    list_.setObserver(nullptr);
}

void FileListModel::setColours(std::uint32_t ok, std::uint32_t invalid) {
    ok_ = colourFromRef(ok);
    invalid_ = colourFromRef(invalid);
    okShown_ = readableOn(ok_, background_);
    invalidShown_ = readableOn(invalid_, background_);
    if (rowCount() > 0)
        emit dataChanged(index(0, kNewNameColumn), index(rowCount() - 1, kNewNameColumn),
                         {Qt::ForegroundRole});
}

void FileListModel::setBackground(const QColor& background) {
    background_ = background;
    okShown_ = readableOn(ok_, background_);
    invalidShown_ = readableOn(invalid_, background_);
}

void FileListModel::setShowIcons(bool on) {
    if (on == showIcons_)
        return;
    showIcons_ = on;
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole});
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(list_.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(listColumns().size());
}

QColor FileListModel::colourFor(const FileEntry& entry) const {
    // A name that cannot be had is as unusable as one with a forbidden character.
    return entry.newNameInvalid() || entry.inConflict() ? invalidShown_ : okShown_;
}

QIcon FileListModel::iconFor(const FileEntry& entry) const {
    if (folderIcon_.isNull()) {
        const QFileIconProvider provider;
        folderIcon_ = provider.icon(QFileIconProvider::Folder);
        fileIcon_ = provider.icon(QFileIconProvider::File);
    }
    if (entry.isFolder())
        return folderIcon_;
    // One look-up per type: the theme is asked once, never per file.
    const QString type = toQString(entry.typeName);
    auto it = icons_.constFind(type);
    if (it == icons_.cend()) {
        const auto [own, generic] = qtsupport::typeIconNames(entry.typeName);
        QIcon icon = QIcon::fromTheme(toQString(own));
        if (icon.isNull())
            icon = QIcon::fromTheme(toQString(generic), fileIcon_);
        it = icons_.insert(type, icon);
    }
    return *it;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= list_.size())
        return {};
    const FileEntry& e = list_.entry(static_cast<std::size_t>(index.row()));
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (column) {
        case 0:
            return toQString(e.name());
        case 1:
            return toQString(e.newName());
        case 2:
            return toQString(e.subDir());
        case 3:
            return toQString(e.typeName);
        case 4:
            return e.isFolder() ? QString() : formatSize(e.size, locale_);
        case 5:
            return formatDateTime(e.created, locale_);
        case 6:
            return formatDateTime(e.modified, locale_);
        case 7:
            return QString::number(e.newNameLength());
        case 8:
            return e.hasDateTaken && e.dateTaken.year != 0 ? formatDateTime(e.dateTaken, locale_)
                                                           : QString();
        default:
            return {};
        }
    case Qt::ForegroundRole:
        // Only names that will change are coloured; everything else follows the palette.
        if (column == kNewNameColumn && e.isChanged())
            return colourFor(e);
        return {};
    case Qt::DecorationRole:
        if (column == 0 && showIcons_)
            return iconFor(e);
        return {};
    case Qt::ToolTipRole:
        // Computed when the mouse rests on the cell: one text, never a column.
        if (column == kNewNameColumn && e.inConflict())
            return toQString(list_.conflictHolder(static_cast<std::size_t>(index.row())));
        return {};
    case Qt::TextAlignmentRole:
        return listColumns()[static_cast<std::size_t>(column)].rightAligned
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 ||
        section >= static_cast<int>(listColumns().size()))
        return {};
    const ListColumn& c = listColumns()[static_cast<std::size_t>(section)];
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(c.title.data(), static_cast<qsizetype>(c.title.size()));
    if (role == Qt::TextAlignmentRole)
        return c.rightAligned ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                              : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
                      Qt::ItemIsDropEnabled | Qt::ItemNeverHasChildren;
    if (index.column() == 0)
        f |= Qt::ItemIsEditable;
    return f;
}

bool FileListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != 0 || role != Qt::EditRole)
        return false;
    // The label keeps the entry's name; only a successful rename changes it.
    emit nameEdited(index.row(), value.toString());
    return false;
}

Qt::DropActions FileListModel::supportedDropActions() const {
    return Qt::MoveAction;
}

void FileListModel::rowsAboutToBeAppended(std::size_t first, std::size_t count) {
    beginInsertRows({}, static_cast<int>(first), static_cast<int>(first + count - 1));
}

void FileListModel::rowsAppended(std::size_t first, std::size_t count) {
    endInsertRows();
    if (list_.isSelected(first))
        emit listSelectionChanged(static_cast<int>(first), static_cast<int>(first + count - 1));
}

void FileListModel::rowsChanged(std::size_t first, std::size_t last, RowChange what) {
    const int top = static_cast<int>(first), bottom = static_cast<int>(last);
    switch (what) {
    case RowChange::NewNames:
        emit dataChanged(index(top, kNewNameColumn), index(bottom, 7),
                         {Qt::DisplayRole, Qt::ForegroundRole});
        break;
    case RowChange::Names:
        emit dataChanged(index(top, 0), index(bottom, kNewNameColumn),
                         {Qt::DisplayRole, Qt::ForegroundRole});
        break;
    case RowChange::Selection:
        emit listSelectionChanged(top, bottom);
        break;
    }
}

void FileListModel::rowAboutToMove(std::size_t from, std::size_t to) {
    const int source = static_cast<int>(from);
    // The model's destination counts rows before the move.
    const int destination = static_cast<int>(to > from ? to + 1 : to);
    beginMoveRows({}, source, source, {}, destination);
}

void FileListModel::rowMoved(std::size_t, std::size_t) {
    endMoveRows();
}

void FileListModel::aboutToReset() {
    beginResetModel();
}

void FileListModel::resetDone() {
    endResetModel();
    if (list_.selectedCount() != 0 && rowCount() > 0)
        emit listSelectionChanged(0, rowCount() - 1);
}

} // namespace vantrel::gui

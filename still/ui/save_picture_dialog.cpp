#include "still/ui/save_picture_dialog.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QRegularExpression>
#include <QSplitter>
#include <QTreeView>
#include <iterator>

#include "platform/x11/window_stack.h"

namespace {
const char* const kFilters[] = {
    "すべてのファイル (*.png;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf)",
    "PNG Format (*.png)",
    "JPEG イメージファイル (*.jpg)",
    "JPEG イメージファイル (*.jpeg)",
    "ビットマップ (*.bmp)",
    "GIF (*.gif)",
};

// The first filter lists its patterns with semicolons, which the dialog's own filtering does
// not split; the file list is filtered by each pattern instead.
void applyPatterns(QFileDialog& dialog, const QString& filter) {
    auto* model = dialog.findChild<QFileSystemModel*>();
    if (!model) return;
    const QString inner = filter.section(QLatin1Char('('), 1).chopped(1);
    model->setNameFilters(inner.split(QRegularExpression(QStringLiteral("[; ]")), Qt::SkipEmptyParts));
}

// The file list writes sizes and dates by the desktop's locale, whatever the program's is; this
// writes them, and the type of a folder, in the program's language.
class JapaneseFileList final : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !files || index.column() < kSizeColumn) {
            return QIdentityProxyModel::data(index, role);
        }
        const QModelIndex file = mapToSource(index);
        switch (index.column()) {
            case kSizeColumn:
                return files->isDir(file) ? QString()
                                          : QLocale().formattedDataSize(files->size(file), 1,
                                                                        QLocale::DataSizeTraditionalFormat);
            case kTypeColumn:
                return files->isDir(file) ? QStringLiteral("フォルダー")
                                          : QIdentityProxyModel::data(index, role);
            case kDateColumn:
                return QLocale().toString(files->lastModified(file), QStringLiteral("yyyy/MM/dd H:mm"));
            default:
                return QIdentityProxyModel::data(index, role);
        }
    }

private:
    static constexpr int kSizeColumn = 1;
    static constexpr int kTypeColumn = 2;
    static constexpr int kDateColumn = 3;
};

// Qt's own size cuts the places beside the list short and leaves the list too narrow for its
// columns of name, size, type and date.
constexpr QSize kDialogSize(860, 500);
constexpr int kSidebarWidth = 170;
constexpr int kColumnWidths[] = {280, 80, 140, 140};

void giveRoom(QFileDialog& dialog) {
    dialog.resize(kDialogSize);
    if (auto* splitter = dialog.findChild<QSplitter*>(QStringLiteral("splitter")))
        splitter->setSizes({kSidebarWidth, kDialogSize.width() - kSidebarWidth});
    if (auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView")))
        for (int column = 0; column < int(std::size(kColumnWidths)); ++column)
            details->header()->resizeSection(column, kColumnWidths[column]);
}
}  // namespace

QtSavePictureDialog::QtSavePictureDialog() = default;
QtSavePictureDialog::~QtSavePictureDialog() = default;

QFileDialog& QtSavePictureDialog::dialog() {
    if (!m_dialog) {
        m_dialog = std::make_unique<QFileDialog>();
        m_dialog->setOption(QFileDialog::DontUseNativeDialog);
        m_dialog->setAcceptMode(QFileDialog::AcceptSave);
        m_dialog->setFileMode(QFileDialog::AnyFile);
        m_dialog->setOption(QFileDialog::DontConfirmOverwrite);
        QStringList filters;
        for (const char* f : kFilters) filters << QString::fromUtf8(f);
        m_dialog->setNameFilters(filters);
        QFileDialog* d = m_dialog.get();
        QObject::connect(d, &QFileDialog::filterSelected, d, [d](const QString& f) { applyPatterns(*d, f); });
        d->setProxyModel(new JapaneseFileList(d));
        giveRoom(*d);
    }
    return *m_dialog;
}

void QtSavePictureDialog::preselect(int filterIndex, const QString& defaultSuffix) {
    m_filterIndex = filterIndex;
    m_suffix = defaultSuffix;
}

std::optional<QString> QtSavePictureDialog::exec(QWidget* owner) {
    QFileDialog& d = dialog();
    const QString filter = QString::fromUtf8(kFilters[qBound(1, m_filterIndex, 6) - 1]);
    d.selectNameFilter(filter);
    applyPatterns(d, filter);
    d.setDefaultSuffix(m_suffix);
    const bool accepted = window_stack::execInForeground(d, owner) == QDialog::Accepted;
    if (!accepted || d.selectedFiles().isEmpty()) return std::nullopt;
    return d.selectedFiles().first();
}

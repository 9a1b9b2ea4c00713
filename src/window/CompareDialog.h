// The "Compare" dialog of the File menu: the fields in which the window's configuration and a file's
// differ, both values as the window shows them, or "No differences"; "Use File Values" takes the
// file's values of the chosen rows into the window.
#pragma once

#include "ConfigBlock.h"

#include <QDialog>
#include <QString>
#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

namespace quellix {

// One row: the field in the window's words ("Channel 2 decimals"), and the window's and the file's
// values (texts in quotes, so that blanks show). `field` is the comparison's name of it.
struct CompareRow {
    QString field;
    QString label;
    QString window;
    QString file;
};

// The rows of the comparison the window shows, in its order.
std::vector<CompareRow> CompareRows(const ConfigBlock& window, const ConfigBlock& file);

// "channel2.point1.raw" in the window's words: "Channel 2 point 1 measured".
QString CompareFieldLabel(const QString& field);

class TCompareDialog : public QDialog {
    Q_OBJECT
public:
    // Given the window's block with the chosen rows taken from the file; it makes that the window's.
    using UseValues = std::function<void(const ConfigBlock& updated)>;

    // `window` is the window's own block, compared again after each use of the file's values.
    TCompareDialog(const ConfigBlock& window, const ConfigBlock& file, const QString& fileName, UseValues use,
                   QWidget* parent = nullptr);

    const std::vector<CompareRow>& Rows() const { return rows_; }
    // Chooses rows as the user does by selecting them.
    void ChooseRows(const std::vector<int>& rows);
    // "Use File Values": the chosen rows' file values into the window, then the comparison anew.
    void UseFileValues();

private:
    void Refresh();
    std::vector<int> ChosenRows() const;

    const ConfigBlock& window_;
    const ConfigBlock file_;
    UseValues use_;
    std::vector<CompareRow> rows_;
    QTableWidget* table_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* useButton_ = nullptr;
};

} // namespace quellix

#pragma once
// The modal dialog that edits the options record in place: sheet layout,
// style, details block, labels, JPEG settings and the details template. Apply
// stores the controls and saves the file; the cancel paths (Cancel, Escape,
// the close box) put the record back as it was when the dialog opened, asking
// "Save Changes?" first when something was edited. In save mode the dialog
// and its accept button read "Save", and only an OK result writes a sheet.
#include <QDialog>
#include <QFont>
#include <vector>

#include "settings/options_store.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class CColorButton;

class COptionsDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kOk = 1;
    static constexpr int kCancel = 2;
    // Shown for the Back Color button's "Automatic" and stored for it.
    static constexpr COLORREF kAutomaticBackColor = 0x00F7F2EE;

    // Works on `store`'s record; the controls show it at once.
    explicit COptionsDlg(OptionsStore& store, QWidget* parent = nullptr);

    void SetSaveMode(bool saveMode);
    // kOk only after Apply; kCancel otherwise (Save Changes? answered Yes too).
    int DoModal();

    bool IsModified() const { return m_modified; }
    // Record to controls; clears the modified flag.
    void Populate();

protected:
    // Every way of cancelling (Cancel, Escape, the close box) comes here.
    void reject() override;

private:
    void CreateControls();
    void ConnectControls();
    void EnableControls();
    void UpdateTemplateFont();
    void ChooseFont(bool details);
    // Controls to record, then the file; false (nothing stored) when a value
    // no sheet can be laid out with was entered.
    bool StoreControls();
    void ShowLegend();
    void RestoreRecord();
    void MarkModified() { m_modified = true; }

    // Every control that takes the focus, in tab order, with the record field
    // it edits: a number (edit box or list), a flag (check box), or neither
    // (buttons, the colour and the template, which are handled on their own).
    struct Field {
        QWidget* control;
        int32_t SheetOptions::*number = nullptr;
        uint8_t SheetOptions::*flag = nullptr;
    };
    std::vector<Field> Fields() const;

    OptionsStore& m_store;
    // The record as it was when the dialog opened: what the cancel paths restore.
    SheetOptions m_opened;

    QPushButton* m_cancel = nullptr;
    QPushButton* m_defaults = nullptr;
    QPushButton* m_apply = nullptr;
    QLineEdit* m_columns = nullptr;
    QLineEdit* m_tileWidth = nullptr;
    QLineEdit* m_tileHeight = nullptr;
    QLineEdit* m_gapWidth = nullptr;
    QLineEdit* m_gapHeight = nullptr;
    QCheckBox* m_dropShadow = nullptr;
    CColorButton* m_backColor = nullptr;
    QLineEdit* m_offsetX = nullptr;
    QLineEdit* m_offsetY = nullptr;
    QLineEdit* m_intensity = nullptr;
    QCheckBox* m_showLabels = nullptr;
    QPushButton* m_labelFont = nullptr;
    QComboBox* m_labelPosition = nullptr;
    QLineEdit* m_quality = nullptr;
    QCheckBox* m_progressive = nullptr;
    QCheckBox* m_showDetails = nullptr;
    QComboBox* m_detailsPosition = nullptr;
    QPushButton* m_detailsFont = nullptr;
    QPlainTextEdit* m_template = nullptr;
    QPushButton* m_legend = nullptr;

    QFont m_templateFont;
    bool m_modified = false;
};

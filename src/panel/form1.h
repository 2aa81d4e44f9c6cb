#pragma once

#include "controls.h"
#include "device/comm.h"
#include "device/panel_view.h"
#include "read_out.h"
#include "shared/toolkit.h"
#include "store/preset_file.h"

#include <QWidget>
#include <array>

// The main window: every control of the panel, the view states, and the
// handlers of the operator's actions.
class Form1 : public QWidget, public PanelView {
    Q_OBJECT
public:
    // program_dir holds the program's files: the sound, and unless
    // settings_dir is given, the port file, the preset file and the comN port links.
    Form1(Toolkit& toolkit, const QString& program_dir, const QString& settings_dir = {});

    // Lifecycle (form1_lifecycle.cpp).
    // Window creation: offline view, blank preset boxes, the never-used buttons hidden.
    void Form_Load();
    // The window became active within the program: once, right after it is
    // first shown. Reads the stored settings.
    void Form_Activate();
    // The operator closed the window: control back to the front panel, port
    // closed, program ended.
    void Form_Unload();
    // What every end of the program does first: ":F#" to the front panel,
    // drained, and the port closed.
    void hand_back_control();
    // A pause of Dummy milliseconds that keeps the window and the line served.
    void Wait(float Dummy);

    // Port choice (form1_port.cpp).
    void load_comm();
    void Save_comm(const QString& comm_ch);
    void Combo1_Click();
    // 0 connect, 1 disconnect.
    void Command3_Click(qint16 Index);

    // Duty and frequency adjustment (form1_adjust.cpp).
    void Slider1_MouseUp(qint16 Index);
    void Command8_Click(qint16 Index);
    void Command9_Click(qint16 Index);
    void Command4_Click(qint16 Index);
    void Command2_MouseDown(qint16 Index);

    // Presets (form1_presets.cpp).
    void Load_Init();
    void load_Data(qint16 no);
    void Save_Data(qint16 no);
    void Command5_Click(qint16 Index);
    void Command6_Click(qint16 Index);

    // Shutter and window option (form1_options.cpp).
    void Command1_MouseDown();
    void Command1_MouseUp();
    void Command7_Click();

    void View_init(qint16 f) override;
    void setShape1BackColor(qint16 Index, Colour colour) override;
    void setShape3BackColor(Colour colour) override;
    void setShape4BackColor(qint16 Index, Colour colour) override;
    void setLabel1Caption(qint16 Index, const QString& caption) override;

    COMM& device() { return comm; }

    // Controls, named and indexed as the panel's design has them.
    CommandButton* Command1;                // camera shutter
    std::array<CommandButton*, 2> Command2; // 0 "パソコン", 1 "前面VR"
    std::array<CommandButton*, 2> Command3; // connect, disconnect (hidden)
    std::array<CommandButton*, 3> Command4; // "電圧", "周波数", "設定保存" (hidden)
    std::array<CommandButton*, 7> Command5; // preset recall "1".."7"
    std::array<CommandButton*, 7> Command6; // preset "Save"
    CommandButton* Command7;                // always on top
    std::array<CommandButton*, 2> Command8; // frequency up, down
    std::array<CommandButton*, 2> Command9; // duty up, down
    std::array<ReadOut*, 2> Label1;         // duty and frequency read-outs
    std::array<QLabel*, 2> Label2;          // group headings
    std::array<QLabel*, 2> Label3;          // range captions
    std::array<QLabel*, 2> Label4;          // preset headings
    std::array<QLabel*, 7> Label5;          // "Hz"
    std::array<QLabel*, 7> Label6;          // "%"
    QLabel* Label7;                         // "通信ポート："
    std::array<Shape*, 2> Shape1;           // control-source lamps
    std::array<Shape*, 2> Shape2;           // read-out frames
    Shape* Shape3;                          // shutter lamp
    std::array<Shape*, 2> Shape4;           // adjustment-mode lamps
    LineControl* Line1;
    LineControl* Line2;
    LineControl* Line3;
    std::array<TextBox*, 7> Text1;         // preset frequency in hertz
    std::array<TextBox*, 7> Text2;         // preset duty in percent
    std::array<SliderControl*, 2> Slider1; // 0 duty, 1 frequency
    ComboControl* Combo1;                  // port selector
    std::array<QWidget*, 7> Picture1;      // preset rows

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void connect_handlers();
    // Sends the code one step above (Index 0) or below (Index 1) the slider's position.
    void step(SliderControl* slider, const char* prefix, qint16 Index);
    QString port_file() const;
    // The selector shows the port in force, whatever was typed into it.
    void show_port_in_force();
    QString preset_file() const;
    // The preset file's fields, or nothing when there is no file to read. A
    // file that does not read cleanly is kept as it was before the next store
    // overwrites it.
    std::optional<PresetFields> read_fields();
    // Shows every row's duty and frequency; false when a product does not fit 16 bits.
    bool show_table();
    void mark_row(qint16 m);

    void build_source_and_mode();
    void build_value_groups();
    void build_port_and_shutter();
    void build_presets();

    Toolkit& toolkit;
    QString settings_dir;
    COMM comm;
    bool shown_once = false;
    bool keep_old_presets = false; // back the preset file up before the next store

    // Window-option settings handed to the stacking call.
    qint32 zorder_after = 0;
    qint32 swp_nosize = 0;
    qint32 swp_nomove = 0;
    qint16 on_top = 0;
};

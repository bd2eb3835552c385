// SPDX-License-Identifier: GPL-2.0-or-later
// Compiled once by the QML booster so that the component set the gallery
// uses is loaded and its types are known before any application starts.
import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import QtQuick.Window 2.15

Item {
    width: 8
    height: 8
    visible: false

    ColumnLayout {
        Label { text: "preload" }
        Button { text: "b" }
        ToolButton { text: "t" }
        CheckBox { checked: true }
        Switch { checked: true }
        RadioButton { checked: true }
        Slider { value: 0.5 }
        ProgressBar { value: 0.5 }
        SpinBox { value: 1 }
        TextField { text: "t" }
        ComboBox { model: [ "a" ] }
        TabBar { TabButton { text: "t" } }
        ListView { model: 1; delegate: ItemDelegate { text: "d" } }
        ScrollView { }
        Frame { }
        GroupBox { title: "g" }
        BusyIndicator { running: false }
    }
    Dialog { title: "d"; standardButtons: Dialog.Ok | Dialog.Cancel }
    Popup { }
}

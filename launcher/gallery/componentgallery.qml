// SPDX-License-Identifier: GPL-2.0-or-later
// The component gallery: one page per group of components, each showing the
// components in their usual states so that a UI developer can compare them.
import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

Page {
    id: gallery

    // Set by the program when it runs as a desktop window.
    property bool _desktop: false

    width: 800
    height: 600

    header: ToolBar {
        RowLayout {
            anchors.fill: parent
            anchors.leftMargin: 12
            anchors.rightMargin: 12
            Label {
                text: qsTr("Component Gallery")
                font.pixelSize: 20
                font.bold: true
                Layout.fillWidth: true
            }
            Label {
                visible: gallery._desktop
                text: qsTr("desktop")
                color: "#1565c0"
            }
            ToolButton {
                text: qsTr("About")
                onClicked: aboutDialog.open()
            }
        }
    }

    ScrollView {
        id: scroller
        anchors.fill: parent
        clip: true
        contentWidth: availableWidth

        GridLayout {
            width: scroller.availableWidth - 24
            x: 12
            y: 12
            columns: width > 600 ? 2 : 1
            columnSpacing: 12
            rowSpacing: 12

            GroupBox {
                title: qsTr("Buttons")
                Layout.fillWidth: true
                Flow {
                    anchors.fill: parent
                    spacing: 8
                    Button { text: qsTr("Default") }
                    Button { text: qsTr("Highlighted"); highlighted: true }
                    Button { text: qsTr("Disabled"); enabled: false }
                    RoundButton { text: "+" }
                    DelayButton { text: qsTr("Hold"); delay: 800 }
                }
            }

            GroupBox {
                title: qsTr("Switches and choices")
                Layout.fillWidth: true
                ColumnLayout {
                    anchors.fill: parent
                    Switch { text: qsTr("Wireless"); checked: true }
                    Switch { text: qsTr("Bluetooth") }
                    RowLayout {
                        CheckBox { text: qsTr("Sound"); checked: true }
                        CheckBox { text: qsTr("Vibration") }
                    }
                    RowLayout {
                        RadioButton { text: qsTr("Small"); checked: true }
                        RadioButton { text: qsTr("Large") }
                    }
                }
            }

            GroupBox {
                title: qsTr("Sliders and progress")
                Layout.fillWidth: true
                ColumnLayout {
                    anchors.fill: parent
                    Slider { id: volume; from: 0; to: 100; value: 40; Layout.fillWidth: true }
                    Label { text: qsTr("Volume %1").arg(Math.round(volume.value)) }
                    RangeSlider { from: 0; to: 10; first.value: 2; second.value: 7; Layout.fillWidth: true }
                    ProgressBar { value: volume.value / 100; Layout.fillWidth: true }
                    BusyIndicator { running: gallery.visible; Layout.preferredHeight: 32 }
                }
            }

            GroupBox {
                title: qsTr("Text input")
                Layout.fillWidth: true
                ColumnLayout {
                    anchors.fill: parent
                    TextField { placeholderText: qsTr("Name"); Layout.fillWidth: true }
                    TextField { text: qsTr("secret"); echoMode: TextInput.Password; Layout.fillWidth: true }
                    RowLayout {
                        SpinBox { from: 0; to: 99; value: 12 }
                        ComboBox { model: [ qsTr("Morning"), qsTr("Noon"), qsTr("Evening") ] }
                    }
                }
            }

            GroupBox {
                title: qsTr("List")
                Layout.fillWidth: true
                ListView {
                    id: contacts
                    anchors.fill: parent
                    implicitHeight: 180
                    clip: true
                    model: ListModel {
                        ListElement { name: "Aino"; detail: "Online" }
                        ListElement { name: "Bruno"; detail: "Away" }
                        ListElement { name: "Chiara"; detail: "Online" }
                        ListElement { name: "Dmitri"; detail: "Offline" }
                        ListElement { name: "Eeva"; detail: "Online" }
                        ListElement { name: "Farid"; detail: "Busy" }
                    }
                    delegate: ItemDelegate {
                        width: ListView.view.width
                        text: name + " \u2014 " + detail
                        highlighted: ListView.isCurrentItem
                        onClicked: contacts.currentIndex = index
                    }
                    ScrollIndicator.vertical: ScrollIndicator { }
                }
            }

            GroupBox {
                title: qsTr("Dialog")
                Layout.fillWidth: true
                ColumnLayout {
                    anchors.fill: parent
                    Label {
                        text: confirmDialog.answer
                        wrapMode: Text.WordWrap
                        Layout.fillWidth: true
                    }
                    Button {
                        text: qsTr("Delete message\u2026")
                        onClicked: confirmDialog.open()
                    }
                }
            }
        }
    }

    Dialog {
        id: confirmDialog
        property string answer: qsTr("No question asked yet.")
        title: qsTr("Delete message?")
        modal: true
        anchors.centerIn: parent
        standardButtons: Dialog.Yes | Dialog.No
        Label { text: qsTr("The message will be removed from all devices.") }
        onAccepted: answer = qsTr("Deleted.")
        onRejected: answer = qsTr("Kept.")
    }

    Dialog {
        id: aboutDialog
        title: qsTr("About")
        modal: true
        anchors.centerIn: parent
        standardButtons: Dialog.Close
        Label { text: qsTr("The components of the UI set, in their usual states.") }
    }
}

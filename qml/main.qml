import QtQuick 2.9
import QtQuick.Window 2.2
import QtQuick.Controls 2.2

ApplicationWindow {
    id: mainWindow

    width: 1100
    height: 720
    minimumWidth: 900
    minimumHeight: 600
    visible: true
    title: PROD_NAME

    Rectangle {
        anchors.fill: parent
        color: "#F5F7FA"

        Column {
            anchors.centerIn: parent
            spacing: 12

            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: PROD_NAME
                color: TEXTCOLOR_MAIN
                font.family: FONTFAMILY_MAIN
                font.pixelSize: FONTSIZE_TITLE1
            }
            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: qsTr("Version %1").arg(PROD_VER)
                color: TEXTCOLOR_MAIN2
                font.family: FONTFAMILY_MAIN
                font.pixelSize: FONTSIZE_SUB
            }
        }
    }
}

#include "ui/CommandTable.h"

#include "net/ControlId.h"
#include "ui/CDatagramDlg.h"

namespace {

using M = CommandTable::Message;
using D = CDatagramDlg;

const CommandTable::Row kRows[] = {
    { M::SysCommand, 0, [](D& d, int command) { d.OnSysCommand(command); } },
    { M::ButtonClicked, IDC_SERVER_START, [](D& d, int) { d.OnServerStart(); } },
    { M::ShowWindow, 0, [](D& d, int) { d.OnShowWindow(); } },
    { M::ButtonClicked, IDC_CLIENT_SEND, [](D& d, int) { d.OnClientSend(); } },
    { M::ButtonClicked, IDC_SERVER_STOP, [](D& d, int) { d.OnServerStop(); } },
    { M::ButtonClicked, IDC_CLIENT_START, [](D& d, int) { d.OnClientStart(); } },
    { M::ButtonClicked, IDC_CLIENT_STOP, [](D& d, int) { d.OnClientStop(); } },
    { M::Close, 0, [](D& d, int) { d.OnClose(); } },
    { M::ButtonClicked, IDC_REPLY_SEND, [](D& d, int) { d.OnReplySend(); } },
    { M::ButtonClicked, IDC_PEER_DELETE, [](D& d, int) { d.OnPeerDelete(); } },
    { M::ButtonClicked, IDC_PEER_DELETE_ALL, [](D& d, int) { d.OnPeerDeleteAll(); } },
};

} // namespace

const CommandTable::Row* CommandTable::begin()
{
    return kRows;
}

const CommandTable::Row* CommandTable::end()
{
    return kRows + sizeof kRows / sizeof kRows[0];
}

bool CommandTable::route(CDatagramDlg& dialog, Message message, int control, int parameter)
{
    for (const Row* row = begin(); row != end(); ++row) {
        if (row->message == message && row->control == control) {
            row->handler(dialog, parameter);
            return true;
        }
    }
    return false;
}

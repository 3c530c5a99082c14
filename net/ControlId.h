#pragma once

// Identifiers of the main window's controls. The endpoints name fields by
// these numbers; the window maps them onto its widgets.
enum ControlId : int {
    IDC_SERVER_LOG = 1000,
    IDC_SERVER_START = 1001,
    IDC_SERVER_STOP = 1002,
    IDC_CLIENT_SEND = 1003,
    IDC_CLIENT_MESSAGE = 1004,
    IDC_DEST_IP = 1006,
    IDC_DEST_PORT = 1007,
    IDC_SERVER_IP = 1008,
    IDC_SERVER_PORT = 1009,
    IDC_ECHO = 1010,
    IDC_CLIENT_LOG = 1012,
    IDC_CLIENT_START = 1013,
    IDC_CLIENT_STOP = 1014,
    IDC_REPLY_SEND = 1016,
    IDC_REPLY_MESSAGE = 1017,
    IDC_PEER_LIST = 1018,
    IDC_PEER_DELETE = 1020,
    IDC_PEER_DELETE_ALL = 1021,
};

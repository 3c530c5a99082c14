#pragma once

// The program's string table (UTF-8).
#define IDS_ABOUTBOX_TEXT "关于 Quorlin(&A)..."
#define IDP_SOCKETS_INIT_FAILED_TEXT "Windows 通信端口初始化失败。"

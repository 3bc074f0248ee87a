#include "app/handshake_advice.h"

#include "netsqlite/types.h"

// The settings are read once per run: a corrected key takes effect at the next start.
const char* HandshakeAdvice(int32_t code) {
    switch (code) {
        case kDbServerKeyMismatch:
            return "服务器密钥不匹配：请向管理员索取数据库服务的公钥，填入 wlsetting.ini 的 [Db] "
                   "ServerKey 后重新启动程序。";
        case kDbEncryptionRequired:
            return "服务器要求加密连接：请向管理员索取数据库服务的公钥，填入 wlsetting.ini 的 [Db] "
                   "ServerKey 后重新启动程序。";
        default:
            return nullptr;
    }
}

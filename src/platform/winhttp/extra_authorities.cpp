#include "platform/winhttp/extra_authorities.h"

#include "platform/files.h"

#include <string_view>

namespace platform {
namespace {

constexpr std::size_t kMaxCaFileSize = 4 * 1024 * 1024;

void CALLBACK onStatus(HINTERNET request, DWORD_PTR context, DWORD status, LPVOID, DWORD)
{
    if (status != WINHTTP_CALLBACK_STATUS_SENDING_REQUEST || context == 0)
        return;
    auto* check = reinterpret_cast<ExtraAuthorities::Check*>(context);
    if (!check->authorities->trusts(request, check->host, check->why)) {
        // Nothing of the request has gone out yet: closing the handle ends it here.
        check->refused = true;
        if (check->cancel)
            check->cancel(request);
    }
}

} // namespace

Result<ExtraAuthorities> ExtraAuthorities::load(const std::filesystem::path& file)
{
    const auto text = readFileBounded(file, kMaxCaFileSize);
    if (!text)
        return makeError(Error::Code::NotFound,
                         "cannot read the CA file " + file.string() + ": " + text.error().message);
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
    if (!store)
        return makeError(Error::Code::Failed, "no certificate store for the CA file");
    ExtraAuthorities authorities(store);
    constexpr std::string_view kBegin = "-----BEGIN CERTIFICATE-----";
    constexpr std::string_view kEnd = "-----END CERTIFICATE-----";
    int added = 0;
    for (std::size_t at = text->find(kBegin); at != std::string::npos;
         at = text->find(kBegin, at + 1)) {
        const std::size_t end = text->find(kEnd, at);
        if (end == std::string::npos)
            break;
        const std::string block = text->substr(at, end + kEnd.size() - at);
        DWORD size = 0;
        if (!CryptStringToBinaryA(block.c_str(), DWORD(block.size()), CRYPT_STRING_BASE64HEADER,
                                  nullptr, &size, nullptr, nullptr))
            continue;
        std::string der(size, '\0');
        if (CryptStringToBinaryA(block.c_str(), DWORD(block.size()), CRYPT_STRING_BASE64HEADER,
                                 reinterpret_cast<BYTE*>(der.data()), &size, nullptr, nullptr) &&
            CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING,
                                             reinterpret_cast<const BYTE*>(der.data()), size,
                                             CERT_STORE_ADD_REPLACE_EXISTING, nullptr))
            ++added;
    }
    if (added == 0)
        return makeError(Error::Code::InvalidInput,
                         "the CA file " + file.string() + " holds no certificate");
    return authorities;
}

ExtraAuthorities::ExtraAuthorities(ExtraAuthorities&& other) noexcept : m_store(other.m_store)
{
    other.m_store = nullptr;
}

ExtraAuthorities::~ExtraAuthorities()
{
    if (m_store)
        CertCloseStore(m_store, 0);
}

bool ExtraAuthorities::watch(HINTERNET request, Check& check) const
{
    check.authorities = this;
    DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA;
    return WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags) &&
           WinHttpSetStatusCallback(request, onStatus, WINHTTP_CALLBACK_FLAG_SEND_REQUEST, 0) !=
               WINHTTP_INVALID_STATUS_CALLBACK;
}

bool ExtraAuthorities::trusts(HINTERNET request, const std::wstring& host, std::string& why) const
{
    PCCERT_CONTEXT server = nullptr;
    DWORD size = sizeof server;
    if (!WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &server, &size) ||
        !server) {
        why = "the server showed no certificate";
        return false;
    }
    LPSTR usage = const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH);
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof chainPara;
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = &usage;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    const bool built =
        CertGetCertificateChain(nullptr, server, nullptr, m_store, &chainPara, 0, nullptr, &chain);
    CertFreeCertificateContext(server);
    if (!built || !chain || chain->cChain == 0 || chain->rgpChain[0]->cElement == 0) {
        if (chain)
            CertFreeCertificateChain(chain);
        why = "the server's certificate chain could not be built";
        return false;
    }
    const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
    PCCERT_CONTEXT anchor = simple->rgpElement[simple->cElement - 1]->pCertContext;
    PCCERT_CONTEXT ours = CertFindCertificateInStore(m_store, X509_ASN_ENCODING, 0,
                                                     CERT_FIND_EXISTING, anchor, nullptr);
    if (ours)
        CertFreeCertificateContext(ours);
    // Only an anchor of ours may be unknown to the system; everything else (name, dates,
    // usage) is checked as the system checks it.
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbStruct = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.fdwChecks = ours ? SECURITY_FLAG_IGNORE_UNKNOWN_CA : 0;
    std::wstring name = host;
    ssl.pwszServerName = name.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    const bool verified =
        CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status) &&
        status.dwError == 0;
    CertFreeCertificateChain(chain);
    if (!verified)
        why = "the certificate is not trusted (" + std::to_string(status.dwError) + ")";
    return verified;
}

} // namespace platform

# The lab's certificates, made at build time by scripts/lab_certificates.sh
# into <build>/certs (never committed):
#
#   lab-ca.crt / lab-ca.cer / lab-ca.key   the lab's root CA (PEM, DER, key);
#                                          the test and lab prefixes trust it
#   signer.crt / signer.key                code signing, CN = QEVZUN_LAB_PACKAGE_SIGNER
#   wrong-signer.crt / wrong-signer.key    code signing, CN = QEVZUN_LAB_WRONG_SIGNER
#   tls-server.crt / tls-server.key        TLS server certificate for 127.0.0.1 and
#                                          localhost (SAN IP:127.0.0.1, DNS:localhost), PEM
#   impostor.crt / impostor.key            code signing, CN = QEVZUN_LAB_PACKAGE_SIGNER,
#                                          self-signed and trusted nowhere
#   line-break.crt / line-break.key        code signing, CN = the signer's name, a line
#                                          break and a made-up log line
#   tls-untrusted.crt / .key               the same names, self-signed (trusted nowhere)
#   tls-otherhost.crt / .key               issued by the lab CA for other.invalid only
#
# Target qevzun_lab_certificates; the paths are in the QEVZUN_LAB_CERT_* variables.
set(QEVZUN_LAB_CERT_DIR "${CMAKE_BINARY_DIR}/certs" CACHE INTERNAL "The lab's certificates")
set(QEVZUN_LAB_CA_CERT "${QEVZUN_LAB_CERT_DIR}/lab-ca.crt" CACHE INTERNAL "Lab root CA, PEM")
set(QEVZUN_LAB_CA_CERT_DER "${QEVZUN_LAB_CERT_DIR}/lab-ca.cer" CACHE INTERNAL "Lab root CA, DER")
set(QEVZUN_LAB_SIGNER_CERT "${QEVZUN_LAB_CERT_DIR}/signer.crt" CACHE INTERNAL "Lab package signer")
set(QEVZUN_LAB_SIGNER_KEY "${QEVZUN_LAB_CERT_DIR}/signer.key" CACHE INTERNAL "Lab package signer's key")
set(QEVZUN_LAB_WRONG_SIGNER_CERT "${QEVZUN_LAB_CERT_DIR}/wrong-signer.crt" CACHE INTERNAL "Another publisher")
set(QEVZUN_LAB_WRONG_SIGNER_KEY "${QEVZUN_LAB_CERT_DIR}/wrong-signer.key" CACHE INTERNAL "Another publisher's key")
set(QEVZUN_LAB_IMPOSTOR_CERT "${QEVZUN_LAB_CERT_DIR}/impostor.crt" CACHE INTERNAL "The signer's name, untrusted")
set(QEVZUN_LAB_IMPOSTOR_KEY "${QEVZUN_LAB_CERT_DIR}/impostor.key" CACHE INTERNAL "The impostor's key")
set(QEVZUN_LAB_LINE_BREAK_CERT "${QEVZUN_LAB_CERT_DIR}/line-break.crt" CACHE INTERNAL "A name with a line break")
set(QEVZUN_LAB_LINE_BREAK_KEY "${QEVZUN_LAB_CERT_DIR}/line-break.key" CACHE INTERNAL "Its key")
set(QEVZUN_LAB_TLS_CERT "${QEVZUN_LAB_CERT_DIR}/tls-server.crt" CACHE INTERNAL "Lab TLS server certificate, PEM")
set(QEVZUN_LAB_TLS_KEY "${QEVZUN_LAB_CERT_DIR}/tls-server.key" CACHE INTERNAL "Lab TLS server key, PEM")
set(QEVZUN_LAB_TLS_UNTRUSTED_CERT "${QEVZUN_LAB_CERT_DIR}/tls-untrusted.crt" CACHE INTERNAL "Self-signed TLS server")
set(QEVZUN_LAB_TLS_UNTRUSTED_KEY "${QEVZUN_LAB_CERT_DIR}/tls-untrusted.key" CACHE INTERNAL "Its key")
set(QEVZUN_LAB_TLS_OTHERHOST_CERT "${QEVZUN_LAB_CERT_DIR}/tls-otherhost.crt" CACHE INTERNAL "TLS server, other host")
set(QEVZUN_LAB_TLS_OTHERHOST_KEY "${QEVZUN_LAB_CERT_DIR}/tls-otherhost.key" CACHE INTERNAL "Its key")

# The names are an input of their own: another signer name makes the signer
# certificates anew (and so the signed packages).
file(CONFIGURE OUTPUT "${QEVZUN_LAB_CERT_DIR}/names.txt"
     CONTENT "${QEVZUN_LAB_PACKAGE_SIGNER}\n${QEVZUN_LAB_WRONG_SIGNER}\n" @ONLY)

find_program(QEVZUN_OPENSSL openssl)
if(NOT QEVZUN_OPENSSL)
  message(WARNING "openssl not found: the lab certificates and signed packages cannot be made")
endif()

add_custom_command(
  OUTPUT "${QEVZUN_LAB_CERT_DIR}/lab-certificates.stamp"
         "${QEVZUN_LAB_CA_CERT}" "${QEVZUN_LAB_CA_CERT_DER}"
         "${QEVZUN_LAB_SIGNER_CERT}" "${QEVZUN_LAB_SIGNER_KEY}"
         "${QEVZUN_LAB_WRONG_SIGNER_CERT}" "${QEVZUN_LAB_WRONG_SIGNER_KEY}"
         "${QEVZUN_LAB_TLS_CERT}" "${QEVZUN_LAB_TLS_KEY}"
         "${QEVZUN_LAB_IMPOSTOR_CERT}" "${QEVZUN_LAB_IMPOSTOR_KEY}"
         "${QEVZUN_LAB_LINE_BREAK_CERT}" "${QEVZUN_LAB_LINE_BREAK_KEY}"
         "${QEVZUN_LAB_TLS_UNTRUSTED_CERT}" "${QEVZUN_LAB_TLS_UNTRUSTED_KEY}"
         "${QEVZUN_LAB_TLS_OTHERHOST_CERT}" "${QEVZUN_LAB_TLS_OTHERHOST_KEY}"
  COMMAND bash "${PROJECT_SOURCE_DIR}/scripts/lab_certificates.sh" "${QEVZUN_LAB_CERT_DIR}"
          "${QEVZUN_LAB_PACKAGE_SIGNER}" "${QEVZUN_LAB_WRONG_SIGNER}"
  DEPENDS "${PROJECT_SOURCE_DIR}/scripts/lab_certificates.sh" "${QEVZUN_LAB_CERT_DIR}/names.txt"
  COMMENT "Making the lab's certificates in ${QEVZUN_LAB_CERT_DIR}"
  VERBATIM)
add_custom_target(qevzun_lab_certificates DEPENDS "${QEVZUN_LAB_CERT_DIR}/lab-certificates.stamp")

#!/usr/bin/env python3
"""Loopback servers for the TLS tests, started by tls-test.sh with the folder of its certificates.

Four listeners on 127.0.0.1, each at a port the system picks: "good" speaks TLS with a
certificate of the test authority for 127.0.0.1, "stranger" with a self-signed one, "wrongname"
with one of the test authority for another name, and "plain" speaks plain HTTP. Their ports go
to the file "ports" as name=port lines, written whole once all listen. Every request is answered
with one HTTP/1.0 response: "/update..." with an update answer, anything else with the words
"over tls" or "over plain" and the path, so that a test sees which server answered what.
"""
import os
import socket
import ssl
import sys
import threading

folder = sys.argv[1]
UPDATE_ANSWER = b"magicword=TlsWord\r\nResult=0\r\n"


def answer(conn, secure):
    conn.settimeout(2)
    head = b""
    while b"\r\n\r\n" not in head and len(head) < 65536:
        part = conn.recv(4096)
        if not part:
            return
        head += part
    words = head.split(b"\r\n", 1)[0].split(b" ")
    path = words[1] if len(words) > 1 else b"/"
    body = UPDATE_ANSWER if path.startswith(b"/update") else (b"over tls " if secure else b"over plain ") + path
    conn.sendall(b"HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body) + body)


def serve(listener, context):
    while True:
        raw, _ = listener.accept()

        def one(raw=raw):
            try:
                conn = context.wrap_socket(raw, server_side=True) if context else raw
                with conn:
                    answer(conn, context is not None)
            except (OSError, ssl.SSLError):
                pass  # a client that refuses the certificate ends its handshake: expected
            finally:
                raw.close()

        threading.Thread(target=one, daemon=True).start()


def context_for(name):
    if name is None:
        return None
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(folder, name + ".pem"), os.path.join(folder, name + ".key"))
    return context


ports = []
for name, cert in (("good", "good"), ("stranger", "stranger"), ("wrongname", "wrongname"), ("plain", None)):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    ports.append("%s=%d" % (name, listener.getsockname()[1]))
    threading.Thread(target=serve, args=(listener, context_for(cert)), daemon=True).start()
with open(os.path.join(folder, "ports.tmp"), "w") as f:
    f.write("\n".join(ports) + "\n")
os.rename(os.path.join(folder, "ports.tmp"), os.path.join(folder, "ports"))
threading.Event().wait()

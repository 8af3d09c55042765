#!/usr/bin/env bash
# Succeeds when Wine can start 32-bit Windows programs here. Wine's 32-bit half is itself a
# 32-bit Linux program, and a kernel built without 32-bit support refuses it ("Exec format error").
[ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1

#!/usr/bin/python3
"""The client of modbus_peers.py alone, against a device that replays a session it recorded: what it
saw, a line each, as modbus_peers.py prints it.

Usage: modbus_client.py DEVICE BAUD
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "decode"))
from modbus_peers import client_work  # noqa: E402

if __name__ == "__main__":
    print("\n".join(client_work(sys.argv[1], int(sys.argv[2]))), flush=True)

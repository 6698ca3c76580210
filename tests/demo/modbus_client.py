#!/usr/bin/python3
"""A Modbus client of someone else's against the demo server on a pseudo-terminal: reads of every
table, a write read back, and the exception for a bad address.

Usage: modbus_client.py VPORT BAUD   (VPORT: kestrum-vport, which plays the server as --demo modbus)

Written for pymodbus 3.0 as Debian 12 ships it (the unit is the keyword `slave`; 2.x called it `unit`).
"""
import subprocess
import sys

from pymodbus.client import ModbusSerialClient


def main():
    vport, baud = sys.argv[1], int(sys.argv[2])
    with subprocess.Popen([vport, "--no-link", "--demo", "modbus"], stdout=subprocess.PIPE, text=True) as proc:
        announced = proc.stdout.readline().strip()
        assert announced.startswith("Port: "), announced
        path = announced[len("Port: "):]
        client = ModbusSerialClient(port=path, baudrate=baud, timeout=5, retries=0)
        assert client.connect(), f"cannot open {path}"
        try:
            regs = client.read_holding_registers(0, 4, slave=1)
            assert not regs.isError(), regs
            assert len(regs.registers) == 4, regs.registers

            assert not client.write_register(2, 250, slave=1).isError()
            assert not client.write_registers(20, [0x1234, 0xBEEF], slave=1).isError()
            assert client.read_holding_registers(2, 1, slave=1).registers == [250]
            assert client.read_holding_registers(20, 2, slave=1).registers == [0x1234, 0xBEEF]

            assert not client.write_coils(4, [True, False, True], slave=1).isError()
            assert not client.write_coil(8, True, slave=1).isError()
            assert client.read_coils(4, 5, slave=1).bits[:5] == [True, False, True, False, True]
            assert not client.read_discrete_inputs(0, 16, slave=1).isError()
            assert len(client.read_input_registers(0, 8, slave=1).registers) == 8

            bad = client.read_holding_registers(40, 2, slave=1)
            assert bad.isError() and getattr(bad, "exception_code", None) == 2, bad
            # The server still answers after an exception.
            assert client.read_holding_registers(2, 1, slave=1).registers == [250]
        finally:
            client.close()
            proc.terminate()
    print(f"ok at {baud} baud")


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""A Modbus server and client of someone else's on two serial devices, for a bridge between them
to watch: every read and write once, and an address the server has not, and what the client saw,
a line each ("hr 3 2 = 40 50"), for the watcher to hold its decoding against.

Usage: modbus_peers.py SERVER_DEVICE CLIENT_DEVICE BAUD   (pymodbus 3.0, the unit as `slave`)
"""
import asyncio
import sys

from pymodbus.client import ModbusSerialClient
from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.server.async_io import ModbusSerialServer


def client_work(device, baud):
    client = ModbusSerialClient(port=device, baudrate=baud, timeout=5, retries=0)
    assert client.connect(), device
    try:
        said = []
        r = client.read_holding_registers(3, 2, slave=1)
        said.append("hr 3 2 = " + " ".join(map(str, r.registers)))
        r = client.read_input_registers(0, 3, slave=1)
        said.append("ir 0 3 = " + " ".join(map(str, r.registers)))
        r = client.read_coils(1, 5, slave=1)
        said.append("co 1 5 = " + " ".join(str(int(b)) for b in r.bits[:5]))
        r = client.read_discrete_inputs(0, 4, slave=1)
        said.append("di 0 4 = " + " ".join(str(int(b)) for b in r.bits[:4]))
        assert not client.write_register(6, 4242, slave=1).isError()
        said.append("hr 6 1 = 4242")
        assert not client.write_registers(8, [0x1234, 0xBEEF], slave=1).isError()
        said.append("hr 8 2 = 4660 48879")
        assert not client.write_coil(2, True, slave=1).isError()
        said.append("co 2 1 = 1")
        assert not client.write_coils(4, [True, False, True], slave=1).isError()
        said.append("co 4 3 = 1 0 1")
        bad = client.read_holding_registers(500, 2, slave=1)
        said.append("exception %d" % bad.exception_code)
        return said
    finally:
        client.close()


async def main():
    server_device, client_device, baud = sys.argv[1], sys.argv[2], int(sys.argv[3])
    block = lambda values: ModbusSequentialDataBlock(0, values)
    store = ModbusSlaveContext(di=block([1, 0, 1, 1, 0] * 4), co=block([0, 1, 1, 0, 1, 0, 0, 1] * 4),
                               hr=block([10 * i for i in range(20)]), ir=block([7, 8, 9, 11]))
    server = ModbusSerialServer(ModbusServerContext(slaves={1: store}, single=False), port=server_device,
                                baudrate=baud)
    # The client starts once the server has its device open: nothing it sends is lost.
    await server.start()
    said = await asyncio.get_event_loop().run_in_executor(None, client_work, client_device, baud)
    await server.shutdown()
    print("\n".join(said), flush=True)


if __name__ == "__main__":
    asyncio.run(main())

#!/usr/bin/python3
# A Modbus RTU slave program (pymodbus) for the simulator's master line:
#   line_slave.py DEVICE UNIT BAUD
# Holding register n holds 7000 + n. Prints "opening" before it opens DEVICE.
import sys

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.server import StartSerialServer
from pymodbus.transaction import ModbusRtuFramer

device, unit, baud = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
store = ModbusSlaveContext(hr=ModbusSequentialDataBlock(0, [7000 + n for n in range(100)]), zero_mode=True)
print("opening", flush=True)
# A pseudo-terminal refuses a parity bit, so none is asked for.
StartSerialServer(context=ModbusServerContext(slaves={unit: store}, single=False), framer=ModbusRtuFramer,
                  port=device, baudrate=baud, parity="N", stopbits=1, bytesize=8, timeout=0.005)

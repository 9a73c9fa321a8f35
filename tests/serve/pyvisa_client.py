"""Reads MeterLink's SCPI server as a lab script would: PyVISA with its
pure-Python backend over a raw socket. Prints each answer on a line."""
import sys

import pyvisa

port = int(sys.argv[1])
rm = pyvisa.ResourceManager("@py")
inst = rm.open_resource(f"TCPIP0::127.0.0.1::{port}::SOCKET",
                        read_termination="\n", write_termination="\n", timeout=5000)
print(inst.query("*IDN?"))
print(float(inst.query("READ?")))
print(inst.query("SYST:ERR?"))
inst.write("NO:SUCH:COMMAND")
print(inst.query("SYSTem:ERRor?"))
inst.close()
rm.close()

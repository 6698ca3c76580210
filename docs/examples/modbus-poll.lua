-- Poll a Modbus RTU holding register and check the answer's CRC and value.
--   kestrum --run modbus-poll.lua --port ttyUSB0 --baud 9600 --parity even
local slave, register = 1, 0x0010

local function frame(bytes)
  return bytes .. checksum("CRC-16/MODBUS", bytes)
end

test("read holding register", function()
  -- function 3: read holding registers, one register
  write(frame(string.pack(">BBI2I2", slave, 3, register, 1)))
  local answer = read(7, 1000)
  assert(answer and #answer == 7, "no whole answer")
  local body, crc = answer:sub(1, 5), answer:sub(6, 7)
  if checksum("CRC-16/MODBUS", body) ~= crc then fail("bad CRC in the answer") end
  local id, fn, count, value = string.unpack(">BBBI2", body)
  assert(id == slave and fn == 3 and count == 2, "not the answer to the question")
  note(string.format("register 0x%04X = %d", register, value))
  if value > 1000 then fail("value out of range: " .. value) end
end)

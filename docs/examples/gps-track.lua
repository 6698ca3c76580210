-- Read a GPS receiver's NMEA sentences: each one's checksum right, a fix, and a position that moves.
--   kestrum --run gps-track.lua --port ttyUSB0 --baud 4800
--   kestrum --run gps-track.lua --port demo://gps --baud 4800

-- The checksum is the XOR of every byte between '$' and '*'.
local function checked(line)
  local body, sum = line:match("^%$(.-)%*(%x%x)$")
  if not body then return false end
  local x = 0
  for i = 1, #body do x = x ~ body:byte(i) end
  return x == tonumber(sum, 16)
end

-- The next RMC sentence as time, status, latitude and longitude; every sentence on the way is
-- checked. The first line may be the end of a sentence that was under way when the port opened.
local function next_rmc()
  for _ = 1, 40 do
    local line = readline(3000)
    if line == nil then fail("no sentence for 3 s") end
    if line:sub(1, 1) == "$" then
      if not checked(line) then fail("bad checksum: " .. line) end
      local t, status, lat, ns, lon, ew = line:match("^%$..RMC,([^,]*),(%a),([^,]*),(%a),([^,]*),(%a)")
      if t then return t, status, lat .. ns, lon .. ew end
    end
  end
  fail("no RMC sentence in 40 lines")
end

test("the receiver has a fix that moves", function()
  local t1, _, lat1, lon1 = next_rmc()
  local t2, status, lat2, lon2 = next_rmc()
  if status ~= "A" then fail("no valid fix") end
  if t1 == t2 then fail("the time stands still at " .. t1) end
  if lat1 == lat2 and lon1 == lon2 then fail("the position stands still") end
  note("at " .. t2 .. ": " .. lat2 .. " " .. lon2)
end)

#!/usr/bin/env bash
# Installs what is needed, builds, and runs an export and an import on the sample school.
# The work folder is demo/HTEMP in the checkout; the result lands in demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTH_BUILD_TESTS=OFF >/dev/null
cmake --build build -j2
bin=build/bin
work=demo/HTEMP
mkdir -p "$work"
cp samples/ies-sierra-de-la-vega.xml demo/
echo "== Revisión del documento (transhoralis check; 4 = solo avisos)"
"$bin/transhoralis" check demo/ies-sierra-de-la-vega.xml || [ $? -eq 4 ]
echo "== Exportación de demo/ies-sierra-de-la-vega.xml a $work"
"$bin/transhoralis" export -w "$work" demo/ies-sierra-de-la-vega.xml
ls -l "$work"
echo "== Profesores (PROFT)"
"$bin/transhoralis" dump -w "$work" PROFT
echo "== Grupos (GRUPOST)"
"$bin/transhoralis" dump -w "$work" GRUPOST
echo "== Horario de demostración (SOLUC)"
"$bin/horalia-demo-soluc" -w "$work"
echo "== Importación"
"$bin/transhoralis" import -w "$work" --report demo/informe-importacion.txt demo/ies-sierra-de-la-vega.xml
echo "== Informe de la importación (demo/informe-importacion.txt)"
cat demo/informe-importacion.txt
echo "== Comienzo de demo/ResultadoHoralisies-sierra-de-la-vega.xml"
xmllint --format --output demo/resultado-legible.xml demo/ResultadoHoralisies-sierra-de-la-vega.xml
awk '/<SALIDAS>/ { shown = 1 } shown && lines++ < 40' demo/resultado-legible.xml

export SVDIR='/opt/solvane suite'
cd '@WORK@'
rm -f @D@/oneP2002.rpt
rm -f @D@/oneP2002.log
echo '** "@MODEL@/growth.exe" did not produce log file @D@/oneP2002.log' > @D@/oneP2002.log
'@MODEL@/growth.exe' -sti @D@/oneP2002.sti -lon @D@/oneP2002.log
if [ $? -ne 0 ]; then
  echo 'error at model solution stage' > @D@/oneP2002.flg
fi
